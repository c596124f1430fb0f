// The process-wide settings record and its persistence in the registry.
#pragma once
#include <QString>
#include <QtGlobal>

class Registry;

struct TConfigurazione {
    qint32 Alto = 50;
    qint32 Sinistra = 50;
    qint32 Larghezza = 400;
    qint32 Altezza = 250;
    QString Lingua = QStringLiteral("ENGLISH");
    bool SvuotaLista = true;
    qint32 LarghezzaFTree = 50;
    qint32 AltezzaFTree = 250;
    bool FTreeScroll = true;
    bool HotTrack = true;
    bool ImmCentrata = false;
    bool RinominaSeEsiste = false;
    qint32 Dimensione = 2;
    quint32 BdCol = 0x0000FF;  // colours are 0x00BBGGRR
    quint32 BkCol = 0xC0C0C0;
    bool MostraSoloSelezionate = false;
    bool MostraNomePercorso = false;
    qint32 DurataSlide = 0;
    bool ImgSfondoToolbar = true;
    bool Operazione = true;
    bool SalvaThumb = false;
    bool MiniatureIncorporate = true; // thumbnails from the pictures stored in photographs' Exif data
    qint32 Colori = 0;
    qint32 Quantizzazione = 1;
    qint32 Dithering = 2;
    qint32 Qualita = 90;
};

// The one record; its defaults are in place before any window exists.
extern TConfigurazione Configurazione;

// Registry key of the settings, under the current user.
inline constexpr const char* kQuorvelKey = "Software\\Morwenly\\Quorvel\\1.5";

// Loads every value present in the registry; missing or mistyped values keep
// the field's current value. Never reports a failure.
void LeggiConfigurazione();
void LeggiConfigurazione(const Registry& reg, TConfigurazione& cfg);

// Writes every value; keys are created when missing. Never reports a failure.
void SalvaConfigurazione();
void SalvaConfigurazione(Registry& reg, const TConfigurazione& cfg);

// 0x00BBGGRR to a Qt colour and back.
class QColor;
QColor colorFromRef(quint32 ref);
quint32 colorToRef(const QColor& c);
