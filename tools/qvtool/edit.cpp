// qvtool edit: the viewer's picture edits from a terminal, applied in the
// order given to the picture the program loads, written like convert does.
#include "command.h"
#include "picture_output.h"
#include "formats/picture_loader.h"
#include "processing/image_edits.h"

#include <vector>

namespace {

int runEdit(const QStringList& args)
{
    if (args.size() < 3) {
        qvErr("edit needs IN, OUT and at least one edit (see qvtool edit --help)");
        return ExitUsage;
    }
    std::vector<PictureEdit> edits;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const std::optional<PictureEdit> e = pictureEditByName(args[i]);
        if (!e) {
            qvErr(QString("unknown edit '%1': one of %2").arg(args[i], pictureEditNames()));
            return ExitUsage;
        }
        edits.push_back(*e);
    }
    if (!canWritePicture(args[1]))
        return ExitFailure;
    TPicture picture;
    if (!loadPictureForTool(args[0], picture))
        return ExitFailure;
    QImage image = picture.image();
    QImage work;
    for (PictureEdit e : edits) {
        image = applyPictureEdit(image, e, work);
        if (image.isNull()) {
            qvErr("not enough memory for the edit");
            return ExitFailure;
        }
    }
    return writePictureFile(TPicture(image), args[1]);
}

const QvtoolCommand editCommand(
    "edit", "apply the viewer's picture edits to a file",
    "usage: qvtool edit IN OUT EDIT...\n"
    "Loads IN the way the program does, applies each EDIT in the order given and\n"
    "writes OUT in the format of its extension (bmp, png, gif, jpg, jpeg), as\n"
    "convert does. The picture becomes 24 bits per pixel.\n"
    "EDIT is one of: flip-h, flip-v, rotate-right, rotate-left, rotate-180,\n"
    "lighten (+5 on each channel), darken (-5), grey ((30 R + 59 G + 11 B) / 100).",
    runEdit);

} // namespace
