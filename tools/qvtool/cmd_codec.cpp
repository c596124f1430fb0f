// qvtool compress / decompress: the compressor's file mode from a terminal.
#include "command.h"

#include "catalogue/lzrw1codec.h"

namespace {

int runCompress(const QStringList& argsIn)
{
    QStringList args = argsIn;
    TCompressMode mode = TCompressMode::Fast;
    const int at = args.indexOf("--mode");
    if (at >= 0) {
        const QString value = args.value(at + 1);
        if (value == "fast")
            mode = TCompressMode::Fast;
        else if (value == "good")
            mode = TCompressMode::Good;
        else if (value == "auto")
            mode = TCompressMode::Auto;
        else {
            qvErr("compress: --mode takes fast, good or auto");
            return ExitUsage;
        }
        args.remove(at, 2);
    }
    if (args.size() != 2) {
        qvErr("compress: give IN and OUT (see qvtool compress --help)");
        return ExitUsage;
    }
    Lzrw1Codec codec;
    codec.setUseStream(false);
    codec.setInputFile(args[0]);
    codec.setOutputFile(args[1]);
    if (mode == TCompressMode::Auto) {
        mode = codec.Advise();
        qvOut(codec.lastStatus());
    }
    codec.setCompressMode(mode);
    codec.Compress();
    qvOut(codec.lastStatus());
    return ExitOk;
}

int runDecompress(const QStringList& args)
{
    if (args.size() != 2) {
        qvErr("decompress: give IN and OUT (see qvtool decompress --help)");
        return ExitUsage;
    }
    Lzrw1Codec codec;
    codec.setUseStream(false);
    codec.setInputFile(args[0]);
    codec.setOutputFile(args[1]);
    codec.Decompress();
    qvOut(codec.lastStatus());
    return ExitOk;
}

const QvtoolCommand compressCommand(
    "compress", "compress a file with FAST (LZRW1/KH) or GOOD (LZHUF)",
    "usage: qvtool compress [--mode fast|good|auto] IN OUT\n"
    "\n"
    "Compresses IN into OUT: the identifier (\"WRZL\" FAST, \"!HZL\" GOOD), the\n"
    "size and the payload, as the thumbnail cache stores its picture strip.\n"
    "  --mode fast   LZRW1/KH blocks of 32768 bytes (the default)\n"
    "  --mode good   LZHUF, smaller and slower\n"
    "  --mode auto   GOOD below 98304 bytes, else by two sample blocks\n"
    "Prints the final status line; on failure the message goes to standard\n"
    "error, OUT is left as it was, and the exit status is 1.",
    runCompress);

const QvtoolCommand decompressCommand(
    "decompress", "expand a file written by compress (method from its identifier)",
    "usage: qvtool decompress IN OUT\n"
    "\n"
    "Expands IN into OUT, FAST or GOOD as IN's identifier says. Prints the\n"
    "final status line; on failure (no valid header, corrupt or truncated data,\n"
    "size mismatch) the message goes to standard error, OUT is left as it was,\n"
    "and the exit status is 1.",
    runDecompress);

} // namespace
