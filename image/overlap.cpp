#include "image/overlap.h"

namespace vidra {
namespace image {
namespace {

// Rows ascending from `lo` (an address), as integers.
struct Normal {
    uintptr_t lo;
    int64_t stride;
    int64_t rowBytes;
    int64_t count;
    uintptr_t End() const { return lo + static_cast<uintptr_t>((count - 1) * stride + rowBytes); }
};

Normal Normalise(const RowSet& s) {
    Normal n{reinterpret_cast<uintptr_t>(s.first), s.stride, s.rowBytes, s.count};
    if (n.stride < 0) {
        n.lo -= static_cast<uintptr_t>((n.count - 1) * -n.stride);
        n.stride = -n.stride;
    }
    // Contiguous rows (or one row) are one interval.
    if (n.count == 1 || n.stride <= n.rowBytes) {
        n.rowBytes = (n.count - 1) * n.stride + n.rowBytes;
        n.count = 1;
        n.stride = n.rowBytes;
    }
    return n;
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    const int64_t q = a / b;
    return q * b > a ? q - 1 : q;
}

// Does a row of b, whose rows start at d + j * b.stride relative to the
// interval [x, x + width), j in 0..b.count-1, meet that interval? The first
// row ending after x is the only candidate.
bool MeetsInterval(int64_t x, int64_t width, int64_t d, const Normal& b) {
    int64_t j = FloorDiv(x - d - b.rowBytes, b.stride) + 1;
    if (j < 0) j = 0;
    return j < b.count && d + j * b.stride < x + width;
}

}  // namespace

bool RowSetsOverlap(const RowSet& sa, const RowSet& sb) {
    if (sa.count <= 0 || sb.count <= 0 || sa.rowBytes <= 0 || sb.rowBytes <= 0) return false;
    Normal a = Normalise(sa), b = Normalise(sb);
    if (!(a.lo < b.End() && b.lo < a.End())) return false;
    if (a.count > b.count) {
        const Normal t = a;
        a = b;
        b = t;
    }
    // The spans meet, so the distance between their starts is below either
    // span's length and fits in 63 bits, as do all offsets below.
    const int64_t d = b.lo >= a.lo ? static_cast<int64_t>(b.lo - a.lo) : -static_cast<int64_t>(a.lo - b.lo);
    if (a.stride == b.stride) {
        // Row j of b against row i of a: offset d + (j - i) stride, k = j - i
        // in -(a.count - 1) .. b.count - 1.
        const int64_t s = a.stride;
        int64_t k = FloorDiv(-b.rowBytes - d, s) + 1;
        if (k < -(a.count - 1)) k = -(a.count - 1);
        return k <= b.count - 1 && d + k * s < a.rowBytes;
    }
    for (int64_t i = 0; i < a.count; ++i)
        if (MeetsInterval(i * a.stride, a.rowBytes, d, b)) return true;
    return false;
}

RowSet PlaneRows(const VidraImage& image, const FormatInfo& format, int32_t plane) {
    return {image.planes[plane], image.strides[plane], PlaneRowBytes(format, plane, image.width),
            PlaneHeight(format, plane, image.height)};
}

RowSet MaskRows(const VidraMask& mask) { return {mask.data, mask.stride, mask.width, mask.height}; }

bool ImagesOverlap(const VidraImage& a, const VidraImage& b) {
    const FormatInfo& fa = *FindFormat(a.format);
    const FormatInfo& fb = *FindFormat(b.format);
    for (int32_t p = 0; p < fa.planes; ++p)
        for (int32_t q = 0; q < fb.planes; ++q)
            if (RowSetsOverlap(PlaneRows(a, fa, p), PlaneRows(b, fb, q))) return true;
    return false;
}

bool ImageOverlapsMask(const VidraImage& image, const VidraMask& mask) {
    const FormatInfo& f = *FindFormat(image.format);
    for (int32_t p = 0; p < f.planes; ++p)
        if (RowSetsOverlap(PlaneRows(image, f, p), MaskRows(mask))) return true;
    return false;
}

bool PlanesOverlap(const VidraImage& image) {
    const FormatInfo& f = *FindFormat(image.format);
    for (int32_t p = 0; p < f.planes; ++p)
        for (int32_t q = p + 1; q < f.planes; ++q)
            if (RowSetsOverlap(PlaneRows(image, f, p), PlaneRows(image, f, q))) return true;
    return false;
}

bool SameRows(const VidraImage& a, const VidraImage& b) {
    const FormatInfo& fa = *FindFormat(a.format);
    const FormatInfo& fb = *FindFormat(b.format);
    if (fa.planes != fb.planes) return false;
    for (int32_t p = 0; p < fa.planes; ++p)
        if (a.planes[p] != b.planes[p] || a.strides[p] != b.strides[p] ||
            PlaneRowBytes(fa, p, a.width) != PlaneRowBytes(fb, p, b.width))
            return false;
    return true;
}

}  // namespace image
}  // namespace vidra
