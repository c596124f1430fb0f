// Settings record, its registry layout and the load and save routines.
#include "platform/settings.h"

#include "platform/registry.h"

#include <QColor>
#include <variant>

TConfigurazione Configurazione;

namespace {

// One registry value bound to one field of the record.
using Field = std::variant<qint32 TConfigurazione::*, quint32 TConfigurazione::*,
                           bool TConfigurazione::*, QString TConfigurazione::*>;
struct ValueSpec {
    const char* name;
    Field field;
};
struct KeySpec {
    const char* subKey;
    std::initializer_list<ValueSpec> values;
};

// Keys and values in the order they are read and written.
const KeySpec kLayout[] = {
    {"Thumb",
     {{"Dimensione", &TConfigurazione::Dimensione},
      {"BdCol", &TConfigurazione::BdCol},
      {"BkCol", &TConfigurazione::BkCol},
      {"SalvaThumb", &TConfigurazione::SalvaThumb},
      {"SvuotaLista", &TConfigurazione::SvuotaLista},
      {"MiniatureIncorporate", &TConfigurazione::MiniatureIncorporate}}},
    {"OpzioniJPG",
     {{"Colori", &TConfigurazione::Colori},
      {"Quantizzazione", &TConfigurazione::Quantizzazione},
      {"Dithering", &TConfigurazione::Dithering},
      {"Qualita", &TConfigurazione::Qualita}}},
    {"FmPrincipale",
     {{"Alto", &TConfigurazione::Alto},
      {"Sinistra", &TConfigurazione::Sinistra},
      {"Larghezza", &TConfigurazione::Larghezza},
      {"Altezza", &TConfigurazione::Altezza},
      {"LarghezzaFTree", &TConfigurazione::LarghezzaFTree},
      {"AltezzaFTree", &TConfigurazione::AltezzaFTree},
      {"FTreeScroll", &TConfigurazione::FTreeScroll},
      {"HotTrack", &TConfigurazione::HotTrack}}},
    {"SlideShow",
     {{"DurataSlide", &TConfigurazione::DurataSlide},
      {"MostraSoloSelezionate", &TConfigurazione::MostraSoloSelezionate},
      {"MostraNomePercorso", &TConfigurazione::MostraNomePercorso}}},
    {"Generali",
     {{"Lingua", &TConfigurazione::Lingua},
      {"RinominaSeEsiste", &TConfigurazione::RinominaSeEsiste},
      {"Operazione", &TConfigurazione::Operazione},
      {"ImmCentrata", &TConfigurazione::ImmCentrata}}},
    {"BkTool", {{"ImgSfondoToolbar", &TConfigurazione::ImgSfondoToolbar}}},
};

QString keyPath(const KeySpec& k) { return QString::fromLatin1(kQuorvelKey) + '\\' + k.subKey; }

} // namespace

void LeggiConfigurazione(const Registry& reg, TConfigurazione& cfg)
{
    for (const KeySpec& key : kLayout) {
        const QString path = keyPath(key);
        if (!reg.keyExists(path))
            continue;
        for (const ValueSpec& v : key.values) {
            const QString name = QString::fromLatin1(v.name);
            std::visit(
                [&](auto member) {
                    using T = std::remove_cvref_t<decltype(cfg.*member)>;
                    if constexpr (std::is_same_v<T, QString>) {
                        // A missing text reads as empty; a value of another type changes nothing.
                        if (auto s = reg.readString(path, name))
                            cfg.*member = *s;
                        else if (!reg.valueExists(path, name))
                            cfg.*member = QString();
                    } else {
                        const auto d = reg.readDword(path, name);
                        if (!d)
                            return;
                        if constexpr (std::is_same_v<T, bool>)
                            cfg.*member = *d != 0;
                        else
                            cfg.*member = static_cast<T>(*d);
                    }
                },
                v.field);
        }
    }
}

void SalvaConfigurazione(Registry& reg, const TConfigurazione& cfg)
{
    for (const KeySpec& key : kLayout) {
        const QString path = keyPath(key);
        if (!reg.createKey(path))
            continue;
        for (const ValueSpec& v : key.values) {
            const QString name = QString::fromLatin1(v.name);
            std::visit(
                [&](auto member) {
                    using T = std::remove_cvref_t<decltype(cfg.*member)>;
                    if constexpr (std::is_same_v<T, QString>)
                        reg.writeString(path, name, cfg.*member);
                    else if constexpr (std::is_same_v<T, bool>)
                        reg.writeDword(path, name, cfg.*member ? 1u : 0u);
                    else
                        reg.writeDword(path, name, static_cast<quint32>(cfg.*member));
                },
                v.field);
        }
    }
    reg.flush();
}

void LeggiConfigurazione()
{
    auto reg = openCurrentUserRegistry();
    LeggiConfigurazione(*reg, Configurazione);
}

void SalvaConfigurazione()
{
    auto reg = openCurrentUserRegistry();
    SalvaConfigurazione(*reg, Configurazione);
}

QColor colorFromRef(quint32 ref)
{
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

quint32 colorToRef(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}
