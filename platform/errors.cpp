#include "platform/errors.h"
// The error types are header-only; this unit anchors the platform library.
