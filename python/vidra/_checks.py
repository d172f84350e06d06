"""Argument checks done before a value reaches ctypes, which would silently
truncate an int to 32 bits or a float to an int."""
import numbers

INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


def integer(value, name, low=INT32_MIN, high=INT32_MAX):
    """value as an int: an int or numpy integer (not a bool, not a float,
    even an integral one) within low..high. TypeError or ValueError naming
    the argument and the accepted range otherwise."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError("%s must be an integer (%d..%d), not %s %r"
                        % (name, low, high, type(value).__name__, value))
    value = int(value)
    if not low <= value <= high:
        raise ValueError("%s %d is outside %d..%d" % (name, value, low, high))
    return value


def real(value, name):
    """value as a float: any real number but a bool."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError("%s must be a number, not %s %r" % (name, type(value).__name__, value))
    return float(value)
