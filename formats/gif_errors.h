// Error classes of the GIF module.
#pragma once
#include "platform/errors.h"

// Format errors of GIF data and of the GIF file object.
QV_DECLARE_ERROR(EGifException);

// A picture that cannot become an indexed GIF picture (more than 256 colours).
class EGifConversionError : public EGifException {
public:
    using EGifException::EGifException;
};

// Input/output failures: a file that cannot be opened, read or written, and
// data that ends before the structure it announces.
QV_DECLARE_ERROR(EGifFileError);
