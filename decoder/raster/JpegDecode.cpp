#include "decoder/raster/JpegDecode.h"

#include "decoder/raster/AreaReduce.h"
#include "decoder/raster/RasterFormats.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <optional>
#include <vector>

#include <jpeglib.h>

#include <jerror.h>

namespace pictures {

namespace {

constexpr int kRowsPerRead = 4;

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back
// to the decoding session instead, with the message kept.
struct ErrorManager {
    jpeg_error_mgr manager; // first, so that libjpeg's pointer to it is one to the whole
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
};

void JumpBack(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings about damaged data are not printed: the picture's reader decides what to report.
void Silent(j_common_ptr) {}

// RGB32 as libjpeg writes it, byte by byte in memory.
constexpr J_COLOR_SPACE kRgb32 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;

int Product(int a, int b) {
    return (a * b + 127) / 255;
}

// CMYK to RGB without a profile: R = (255 - C) * (255 - K) / 255, likewise G from M and B
// from Y. Adobe's files (those with an APP14 "Adobe" segment, YCCK always) store 255 - C etc.
void CmykRowToRgb(unsigned char* row, int width, bool inverted) {
    auto* out = reinterpret_cast<QRgb*>(row);
    for (int x = 0; x < width; ++x) {
        const unsigned char* cmyk = row + 4 * x;
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = qRgb(Product(c, k), Product(m, k), Product(y, k));
    }
}

// One decompression. Between the setjmp and the jumps back to it only trivially destructible
// locals live; what outlives a jump is held by the session or the caller.
class Session {
public:
    Session() { info_.err = jpeg_std_error(&errors_.manager); }
    ~Session() { jpeg_destroy_decompress(&info_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void run(const QByteArray& bytes, QSize size, const std::stop_token& stop, JpegDecoding& out) {
        errors_.manager.error_exit = JumpBack;
        errors_.manager.output_message = Silent;
        if (setjmp(errors_.jump)) {
            out.error = errors_.manager.msg_code == JERR_NO_BACKING_STORE
                            ? QStringLiteral("too large to decode in the memory allowed")
                            : QString::fromLatin1(errors_.message);
            keepRowsDecoded(out);
            return;
        }
        jpeg_create_decompress(&info_);
        // A progressive file keeps all its coefficients in memory: held to the loader's bound,
        // past which libjpeg fails cleanly instead of taking all there is.
        info_.mem->max_memory_to_use = static_cast<long>(kMaxDecodeBytes);
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_save_markers(&info_, JPEG_APP0 + 2, 0xFFFF); // ICC profile segments
        jpeg_read_header(&info_, TRUE);
        readProfile(out);

        const bool fourChannels =
            info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK;
        info_.out_color_space = fourChannels ? JCS_CMYK : kRgb32;
        chooseScale(size);
        jpeg_start_decompress(&info_);

        const int width = static_cast<int>(info_.output_width);
        const QSize decoded(width, static_cast<int>(info_.output_height));
        if (decoded != size && decoded.width() >= size.width() &&
            decoded.height() >= size.height()) {
            reducer_.emplace(decoded, size);
            rowBuffer_.resize(static_cast<std::size_t>(width) * kRowsPerRead);
        } else {
            out.image = QImage(decoded, QImage::Format_RGB32);
            if (out.image.isNull()) {
                out.error = QStringLiteral("not enough memory");
                return;
            }
        }
        while (info_.output_scanline < info_.output_height) {
            if (stop.stop_requested()) {
                // Nobody wants it any more; the session's end releases what libjpeg holds.
                out.image = QImage();
                return;
            }
            JSAMPROW rows[kRowsPerRead];
            int count = 0;
            for (; count < kRowsPerRead && info_.output_scanline + count < info_.output_height;
                 ++count)
                rows[count] =
                    reducer_ ? reinterpret_cast<JSAMPROW>(rowBuffer_.data() + count * width)
                             : out.image.scanLine(static_cast<int>(info_.output_scanline) + count);
            const auto got = jpeg_read_scanlines(&info_, rows, static_cast<JDIMENSION>(count));
            for (JDIMENSION i = 0; i < got; ++i) {
                if (fourChannels)
                    CmykRowToRgb(rows[i], width, info_.saw_Adobe_marker);
                if (reducer_)
                    reducer_->addRow(reinterpret_cast<const QRgb*>(rows[i]));
            }
            rowsDone_ += static_cast<int>(got);
        }
        jpeg_finish_decompress(&info_);
        takeReduced(out);
    }

private:
    // A profile split over several segments is put together by their sequence numbers; with
    // one missing or repeated, libjpeg gives none.
    void readProfile(JpegDecoding& out) {
        JOCTET* profile = nullptr;
        unsigned int length = 0;
        if (jpeg_read_icc_profile(&info_, &profile, &length) && profile)
            out.iccProfile =
                QByteArray(reinterpret_cast<const char*>(profile), static_cast<qsizetype>(length));
        std::free(profile);
    }

    void chooseScale(QSize atLeast) {
        // The smallest scale that covers the size drawn, or the full picture when none does.
        info_.scale_num = 1;
        for (const unsigned int denominator : {8u, 4u, 2u, 1u}) {
            info_.scale_denom = denominator;
            jpeg_calc_output_dimensions(&info_);
            if (info_.output_width >= static_cast<JDIMENSION>(atLeast.width()) &&
                info_.output_height >= static_cast<JDIMENSION>(atLeast.height()))
                return;
        }
    }

    void takeReduced(JpegDecoding& out) {
        if (!reducer_)
            return;
        out.image = reducer_->take();
        if (out.image.isNull())
            out.error = QStringLiteral("not enough memory");
    }

    // A failure part way keeps what was decoded, as a truncated file does; the rest is grey.
    void keepRowsDecoded(JpegDecoding& out) {
        if (rowsDone_ == 0) {
            out.image = QImage();
            return;
        }
        const QRgb grey = qRgb(128, 128, 128);
        if (reducer_) {
            std::fill(rowBuffer_.begin(), rowBuffer_.end(), grey);
            for (int y = rowsDone_; y < static_cast<int>(info_.output_height); ++y)
                reducer_->addRow(rowBuffer_.data());
            takeReduced(out);
            return;
        }
        for (int y = rowsDone_; y < out.image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.image.scanLine(y));
            std::fill(line, line + out.image.width(), grey);
        }
    }

    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
    int rowsDone_ = 0;
    std::optional<AreaReducer> reducer_; // when the scale chosen is larger than drawn
    std::vector<QRgb> rowBuffer_;        // the rows being reduced
};

} // namespace

JpegDecoding DecodeJpeg(const QByteArray& bytes, QSize size, const std::stop_token& stop) {
    JpegDecoding out;
    Session session;
    session.run(bytes, size, stop, out);
    return out;
}

} // namespace pictures
