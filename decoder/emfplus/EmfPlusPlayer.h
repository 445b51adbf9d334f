// The EMF+ records that EMF files carry in comment records, drawn onto the canvas that the EMF
// player draws on. An EMF+ header makes the player take over: the GDI records that follow are
// the file's stand-in for readers without EMF+, and are drawn only after a GetDC record.
#pragma once

#include "decoder/emf/EmfFrame.h"
#include "decoder/emfplus/EmfPlusGeometry.h"
#include "decoder/emfplus/EmfPlusObjects.h"
#include "decoder/emfplus/EmfPlusState.h"
#include "decoder/canvas/SvgCanvas.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pictures::metafile {

class EmfPlusPlayer {
public:
    EmfPlusPlayer(SvgCanvas& canvas, const EmfHeader& header);

    // The EMF+ records of one comment record: its bytes after the "EMF+" signature. Records
    // it does not draw, or cannot read, are skipped and counted; none is fatal.
    void Play(std::span<const unsigned char> records);

    // Whether the GDI records met now are to be drawn: before any EMF+ header, and after a
    // GetDC record until the next EMF+ record.
    bool GdiDraws() const { return gdiDraws_; }

    std::size_t Skipped() const { return skipped_; }

private:
    // An object split across object records, gathered until its last piece.
    struct Pending {
        unsigned id = 0, type = 0;
        std::size_t total = 0;
        std::vector<unsigned char> bytes;
    };

    // Each throws DecodeError on records it cannot read; false: a record it does not draw.
    bool Record(unsigned type, unsigned flags, const LittleEndian& data);
    bool Object(unsigned flags, const LittleEndian& data);
    bool Define(unsigned id, unsigned type, std::span<const unsigned char> bytes);
    bool StateRecord(unsigned type, unsigned flags, const LittleEndian& data);
    bool Draw(unsigned type, unsigned flags, const LittleEndian& data);
    void DrawString(unsigned flags, const LittleEndian& data);
    void DrawDriverString(unsigned flags, const LittleEndian& data);
    void DrawImage(unsigned type, unsigned flags, const LittleEndian& data);

    // World units to the document's.
    Matrix ToDocument() const;
    Flattener MakeFlattener() const;
    Boxes ToDocumentBoxes(const Boxes& world) const;
    void SetClip(unsigned mode, const Boxes& world);
    // Hands the clip to the canvas; false when it leaves nothing to draw.
    bool UseClip();

    template <typename T> const T& Get(unsigned id) const;
    Argb BrushColor(unsigned flags, std::uint32_t brush) const;
    std::string Fill(Argb color, bool evenOdd) const;
    // The fill of a brush, or of a colour given inline; a linear gradient is defined first.
    std::string BrushFill(unsigned flags, std::uint32_t brush, bool evenOdd);
    std::string Stroke(const EmfPlusPen& pen) const;
    // Fills and outlines figures in document units, cut to the clip and the margin.
    void Shape(const std::vector<Figure>& figures, const std::string& fill,
               const std::string& stroke);
    void FillFigures(std::vector<Figure> figures, unsigned flags, std::uint32_t brush,
                     bool evenOdd = true);
    void StrokeFigures(const std::vector<Figure>& figures, unsigned penId);

    static inline const std::string kNoFill = " fill=\"none\"";
    static inline const std::string kNoStroke = " stroke=\"none\"";

    SvgCanvas& canvas_;
    DeviceToDocument toDocument_;
    double tolerance_ = 1; // document units: a quarter pixel at full-screen size
    bool gdiDraws_ = true;
    bool started_ = false; // an EMF+ header was met
    bool full_ = false;    // the canvas refused more: the drawing is too large
    std::size_t skipped_ = 0;
    std::size_t drawn_ = 0;     // text records so far, to tell their glyph runs apart
    std::size_t gradients_ = 0; // gradients defined so far, to name them
    EmfPlusState state_;
    std::array<EmfPlusObject, 64> objects_;
    std::optional<Pending> pending_;
};

} // namespace pictures::metafile
