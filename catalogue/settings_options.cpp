// The settings' choices as reader and writer options.
#include "catalogue/settings_options.h"
#include "platform/settings.h"

JpegOptions settingsJpegOptions()
{
    return {Configurazione.Colori, Configurazione.Quantizzazione, Configurazione.Dithering, Configurazione.Qualita};
}
