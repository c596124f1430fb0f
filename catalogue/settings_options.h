// The settings' choices in the shape the readers and writers take them: the
// formats library never reads the settings record itself.
#pragma once
#include "formats/jpeg_options.h"

// The JPEG options of the settings, for loading and saving.
JpegOptions settingsJpegOptions();
