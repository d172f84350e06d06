"""The exception raised when a library call fails."""
from ._library import library
from ._types import STATUS_BUSY


class VidraError(RuntimeError):
    """A library call returned a failing status.

    status: the code (a negative VidraStatus); name: its name from
    VidraStatusString; message: why, as the library's log said it (may be
    empty)."""

    def __init__(self, status, message="", call=""):
        self.status = status
        self.name = library().VidraStatusString(status).decode()
        self.message = message
        # The library's messages already name the failing call.
        super().__init__("%s: %s" % (self.name, message) if message
                         else "%s: %s" % (call, self.name) if call else self.name)


# What a status means for a Python caller, when the library's log said nothing.
_MEANINGS = {STATUS_BUSY: "called from the instance's own log callback while it is in a call; "
                          "call it after the call that logged has returned"}


def check(status, call, message=""):
    if status != 0:
        if not message and status in _MEANINGS:
            message = "%s: %s" % (call, _MEANINGS[status])
        raise VidraError(status, message, call)
