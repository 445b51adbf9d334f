// lumbrik-decoder: decodes one picture file for the viewer, in a process of its own, sealed
// before it sees a byte of the file, so that a decoder fault costs only this process.
// Started by the viewer with its socket on descriptor 3; see Protocol.h.
#include "decoder/Protocol.h"
#include "decoder/Seal.h"
#include "decoder/Session.h"
#include "decoder/Wire.h"
#include "decoder/gdi/Charsets.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Processor time and address space: enough for a 24-megapixel photo at full size, and a
// runaway decode ends instead of taking the machine.
constexpr rlim_t kCpuSeconds = 10;
constexpr rlim_t kAddressSpace = rlim_t{3} << 30;

void SetLimits() {
    const rlimit cpu{kCpuSeconds, kCpuSeconds + 1}; // SIGXCPU first, SIGKILL a second later
    setrlimit(RLIMIT_CPU, &cpu);
    const rlimit memory{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &memory);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

// What drawing needs from the file system and from shared libraries is loaded now: after the
// seal no code can be loaded, and only fonts can be opened.
void LoadWhatDrawingNeeds() {
    QFontDatabase::families();
    QImage text(64, 32, QImage::Format_ARGB32_Premultiplied);
    text.fill(Qt::transparent);
    QPainter painter(&text);
    painter.drawText(2, 20, QStringLiteral("Ag"));
    painter.end();
    // Qt's readers that the raster decoders use are plugins, loaded at their first use.
    for (const char* format : {"gif", "ico", "jpeg", "bmp"}) {
        QByteArray none;
        QBuffer buffer(&none);
        QImageReader reader(&buffer, format);
        reader.canRead();
    }
}

} // namespace

int main(int argc, char** argv) {
    struct stat socket {};
    if (argc != 1 || fstat(decoder::kSocket, &socket) != 0 || !S_ISSOCK(socket.st_mode)) {
        std::fputs("lumbrik-decoder is started by Lumbrik, with its socket on descriptor 3\n",
                   stderr);
        return 2;
    }
    SetLimits();
    int qtArgc = 3;
    char name[] = "lumbrik-decoder", option[] = "-platform", platform[] = "offscreen";
    char* qtArgv[] = {name, option, platform, nullptr};
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    const QGuiApplication application(qtArgc, qtArgv);
    (void)argv;
    LoadWhatDrawingNeeds();
    const pictures::metafile::CodePages codePages;
    if (!decoder::SealProcess(decoder::kSocket, decoder::FontFolders()))
        return 4;
    decoder::Message ready;
    ready.kind = decoder::Kind::Ready;
    if (decoder::Send(decoder::kSocket, ready))
        decoder::Serve(decoder::kSocket, codePages);
    std::fflush(nullptr);
    _exit(0);
}
