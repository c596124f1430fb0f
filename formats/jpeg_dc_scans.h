// The DC scans of a progressive JPEG file, as a file of their own.
#pragma once
#include <QByteArray>
#include <cstddef>

namespace qv::jpeg {

// Copies a progressive (SOF2) file into `out` without the AC scans of its
// full-resolution components: at 1/8 those components are their DC values
// alone, while subsampled ones are scaled up through their low AC
// coefficients and keep every scan. The result decodes at 1/8 to the same
// pixels as the whole file. False, with `out` unspecified, for any other kind
// of file and for a file that breaks or ends before its EOI marker.
bool keepScansForEighth(const unsigned char* data, std::size_t size, QByteArray& out);

} // namespace qv::jpeg
