// lumbrik-metafile: decodes one WMF or EMF file into SVG for the viewer, in a process of its
// own so that a decoder fault costs only this process. See HelperProtocol.h.
#include "pictures/metafile/Charsets.h"
#include "pictures/metafile/Decoded.h"
#include "pictures/metafile/HelperProtocol.h"
#include "pictures/metafile/Seal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace pictures::metafile;

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int Fail(std::string_view reason, int status) {
    WriteAll(STDERR_FILENO, std::string(reason) + "\n");
    return status;
}

// Reads standard input whole; false when it is larger than the limit.
bool ReadInput(std::vector<unsigned char>& bytes) {
    unsigned char chunk[65536];
    while (true) {
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxInputBytes)
            return false;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || (argv[1] != kWmfArgument && argv[1] != kEmfArgument))
        return Fail("usage: lumbrik-metafile --wmf|--emf < file > answer", kBadUsage);
    const bool wmf = argv[1] == kWmfArgument;

    // The decoding libraries may print on standard output; keep it for the answer alone, on
    // the lowest descriptor after the standard ones so that every later one can be closed.
    constexpr int kAnswer = 3;
    if (dup2(STDOUT_FILENO, kAnswer) != kAnswer)
        return Fail("cannot set up output", kBadUsage);
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0)
        return Fail("cannot set up output", kBadUsage);
    close(devNull);

    // Whatever decoding needs from the file system is loaded now; after the seal nothing can
    // be opened.
    const CodePages codePages;
    if (!SealProcess(kAnswer))
        return Fail("the metafile decoder cannot seal itself", kUnsealed);

    try {
        std::vector<unsigned char> bytes;
        if (!ReadInput(bytes))
            return Fail("the file is too large for a metafile", kUnreadable);
        const DecodedDrawing drawing =
            wmf ? DecodeWmf(bytes, codePages) : DecodeEmf(bytes, codePages);
        char sizeLine[96];
        std::snprintf(sizeLine, sizeof sizeLine, "size %.17g %.17g\n", drawing.width,
                      drawing.height);
        const std::string head = std::string(kHelperMagic) + "\n" + sizeLine + "svg " +
                                 std::to_string(drawing.svg.size()) + "\n";
        if (!WriteAll(kAnswer, head) || !WriteAll(kAnswer, drawing.svg))
            return Fail("cannot write the answer", kUnreadable);
        close(kAnswer);
        return kDecoded;
    } catch (const DecodeError& e) {
        return Fail(e.what(), kUnreadable);
    } catch (const std::bad_alloc&) {
        return Fail("there is not enough memory to decode it", kOutOfMemory);
    } catch (const std::exception& e) {
        return Fail(e.what(), kUnreadable);
    }
}
