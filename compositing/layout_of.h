// The row kernels' layout of a packed format, from the image module's table.
#ifndef VIDRA_COMPOSITING_LAYOUT_OF_H
#define VIDRA_COMPOSITING_LAYOUT_OF_H

#include "compositing/row_kernels.h"
#include "image/pixel_format.h"

namespace vidra {
namespace compositing {

// format is a packed VidraPixelFormat that passed the checks.
inline RowLayout LayoutOf(int32_t format) {
    const image::ChannelOrder& o = image::FindFormat(format)->order;
    return {o.bpp, o.red, o.green, o.blue};
}

}  // namespace compositing
}  // namespace vidra

#endif
