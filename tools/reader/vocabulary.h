// The PCL XL class 3.0 binary vocabulary as the reader knows it: data-type
// tags, operators, attribute ids and the names of enumerated values.
//
// Each list is written once, as an X-macro, so that the named constants the
// reader's code uses and the name tables it prints from cannot disagree.
#ifndef PCLXL_READER_VOCABULARY_H
#define PCLXL_READER_VOCABULARY_H

#include <cstdint>

namespace pclxl_reader {

// Data-type tags. Scalars (C0-C5), arrays (C8-CD: a length value, then the
// elements), xy pairs (D0-D5) and boxes (E0-E5) of six element types.
#define PCLXL_READER_TAGS(X)                                                                       \
    X(UByte, 0xC0, "ubyte")                                                                        \
    X(UInt16, 0xC1, "uint16")                                                                      \
    X(UInt32, 0xC2, "uint32")                                                                      \
    X(SInt16, 0xC3, "sint16")                                                                      \
    X(SInt32, 0xC4, "sint32")                                                                      \
    X(Real32, 0xC5, "real32")                                                                      \
    X(UByteArray, 0xC8, "ubyte_array")                                                             \
    X(UInt16Array, 0xC9, "uint16_array")                                                           \
    X(UInt32Array, 0xCA, "uint32_array")                                                           \
    X(SInt16Array, 0xCB, "sint16_array")                                                           \
    X(SInt32Array, 0xCC, "sint32_array")                                                           \
    X(Real32Array, 0xCD, "real32_array")                                                           \
    X(UByteXY, 0xD0, "ubyte_xy")                                                                   \
    X(UInt16XY, 0xD1, "uint16_xy")                                                                 \
    X(UInt32XY, 0xD2, "uint32_xy")                                                                 \
    X(SInt16XY, 0xD3, "sint16_xy")                                                                 \
    X(SInt32XY, 0xD4, "sint32_xy")                                                                 \
    X(Real32XY, 0xD5, "real32_xy")                                                                 \
    X(UByteBox, 0xE0, "ubyte_box")                                                                 \
    X(UInt16Box, 0xE1, "uint16_box")                                                               \
    X(UInt32Box, 0xE2, "uint32_box")                                                               \
    X(SInt16Box, 0xE3, "sint16_box")                                                               \
    X(SInt32Box, 0xE4, "sint32_box")                                                               \
    X(Real32Box, 0xE5, "real32_box")                                                               \
    X(Attribute, 0xF8, "attr_ubyte")                                                               \
    X(Attribute16, 0xF9, "attr_uint16")                                                            \
    X(DataLength, 0xFA, "dataLength")                                                              \
    X(DataLengthByte, 0xFB, "dataLengthByte")

#define PCLXL_READER_OPERATORS(X)                                                                  \
    X(BeginSession, 0x41)                                                                          \
    X(EndSession, 0x42)                                                                            \
    X(BeginPage, 0x43)                                                                             \
    X(EndPage, 0x44)                                                                               \
    X(VendorUnique, 0x46)                                                                          \
    X(Comment, 0x47)                                                                               \
    X(OpenDataSource, 0x48)                                                                        \
    X(CloseDataSource, 0x49)                                                                       \
    X(EchoComment, 0x4A)                                                                           \
    X(Query, 0x4B)                                                                                 \
    X(Diagnostic3, 0x4C)                                                                           \
    X(BeginFontHeader, 0x4F)                                                                       \
    X(ReadFontHeader, 0x50)                                                                        \
    X(EndFontHeader, 0x51)                                                                         \
    X(BeginChar, 0x52)                                                                             \
    X(ReadChar, 0x53)                                                                              \
    X(EndChar, 0x54)                                                                               \
    X(RemoveFont, 0x55)                                                                            \
    X(SetCharAttributes, 0x56)                                                                     \
    X(SetDefaultGS, 0x57)                                                                          \
    X(SetColorTreatment, 0x58)                                                                     \
    X(BeginStream, 0x5B)                                                                           \
    X(ReadStream, 0x5C)                                                                            \
    X(EndStream, 0x5D)                                                                             \
    X(ExecStream, 0x5E)                                                                            \
    X(RemoveStream, 0x5F)                                                                          \
    X(PopGS, 0x60)                                                                                 \
    X(PushGS, 0x61)                                                                                \
    X(SetClipReplace, 0x62)                                                                        \
    X(SetBrushSource, 0x63)                                                                        \
    X(SetCharAngle, 0x64)                                                                          \
    X(SetCharScale, 0x65)                                                                          \
    X(SetCharShear, 0x66)                                                                          \
    X(SetClipIntersect, 0x67)                                                                      \
    X(SetClipRectangle, 0x68)                                                                      \
    X(SetClipToPage, 0x69)                                                                         \
    X(SetColorSpace, 0x6A)                                                                         \
    X(SetCursor, 0x6B)                                                                             \
    X(SetCursorRel, 0x6C)                                                                          \
    X(SetHalftoneMethod, 0x6D)                                                                     \
    X(SetFillMode, 0x6E)                                                                           \
    X(SetFont, 0x6F)                                                                               \
    X(SetLineDash, 0x70)                                                                           \
    X(SetLineCap, 0x71)                                                                            \
    X(SetLineJoin, 0x72)                                                                           \
    X(SetMiterLimit, 0x73)                                                                         \
    X(SetPageDefaultCTM, 0x74)                                                                     \
    X(SetPageOrigin, 0x75)                                                                         \
    X(SetPageRotation, 0x76)                                                                       \
    X(SetPageScale, 0x77)                                                                          \
    X(SetPaintTxMode, 0x78)                                                                        \
    X(SetPenSource, 0x79)                                                                          \
    X(SetPenWidth, 0x7A)                                                                           \
    X(SetROP, 0x7B)                                                                                \
    X(SetSourceTxMode, 0x7C)                                                                       \
    X(SetCharBoldValue, 0x7D)                                                                      \
    X(SetNeutralAxis, 0x7E)                                                                        \
    X(SetClipMode, 0x7F)                                                                           \
    X(SetPathToClip, 0x80)                                                                         \
    X(SetCharSubMode, 0x81)                                                                        \
    X(BeginUserDefinedLineCap, 0x82)                                                               \
    X(EndUserDefinedLineCap, 0x83)                                                                 \
    X(CloseSubPath, 0x84)                                                                          \
    X(NewPath, 0x85)                                                                               \
    X(PaintPath, 0x86)                                                                             \
    X(ArcPath, 0x91)                                                                               \
    X(SetColorTrapping, 0x92)                                                                      \
    X(BezierPath, 0x93)                                                                            \
    X(SetAdaptiveHalftoning, 0x94)                                                                 \
    X(BezierRelPath, 0x95)                                                                         \
    X(Chord, 0x96)                                                                                 \
    X(ChordPath, 0x97)                                                                             \
    X(Ellipse, 0x98)                                                                               \
    X(EllipsePath, 0x99)                                                                           \
    X(LinePath, 0x9B)                                                                              \
    X(LineRelPath, 0x9D)                                                                           \
    X(Pie, 0x9E)                                                                                   \
    X(PiePath, 0x9F)                                                                               \
    X(Rectangle, 0xA0)                                                                             \
    X(RectanglePath, 0xA1)                                                                         \
    X(RoundRectangle, 0xA2)                                                                        \
    X(RoundRectanglePath, 0xA3)                                                                    \
    X(Text, 0xA8)                                                                                  \
    X(TextPath, 0xA9)                                                                              \
    X(BeginImage, 0xB0)                                                                            \
    X(ReadImage, 0xB1)                                                                             \
    X(EndImage, 0xB2)                                                                              \
    X(BeginRastPattern, 0xB3)                                                                      \
    X(ReadRastPattern, 0xB4)                                                                       \
    X(EndRastPattern, 0xB5)                                                                        \
    X(BeginScan, 0xB6)                                                                             \
    X(EndScan, 0xB8)                                                                               \
    X(ScanLineRel, 0xB9)                                                                           \
    X(PassThrough, 0xBF)

#define PCLXL_READER_ATTRIBUTES(X)                                                                 \
    X(PaletteDepth, 0x02)                                                                          \
    X(ColorSpace, 0x03)                                                                            \
    X(NullBrush, 0x04)                                                                             \
    X(NullPen, 0x05)                                                                               \
    X(PaletteData, 0x06)                                                                           \
    X(PatternSelectID, 0x08)                                                                       \
    X(GrayLevel, 0x09)                                                                             \
    X(RGBColor, 0x0B)                                                                              \
    X(PatternOrigin, 0x0C)                                                                         \
    X(NewDestinationSize, 0x0D)                                                                    \
    X(PrimaryArray, 0x0E)                                                                          \
    X(PrimaryDepth, 0x0F)                                                                          \
    X(AllObjectTypes, 0x1D)                                                                        \
    X(TextObjects, 0x1E)                                                                           \
    X(VectorObjects, 0x1F)                                                                         \
    X(RasterObjects, 0x20)                                                                         \
    X(DeviceMatrix, 0x21)                                                                          \
    X(DitherMatrixDataType, 0x22)                                                                  \
    X(DitherOrigin, 0x23)                                                                          \
    X(MediaDestination, 0x24)                                                                      \
    X(MediaSize, 0x25)                                                                             \
    X(MediaSource, 0x26)                                                                           \
    X(MediaType, 0x27)                                                                             \
    X(Orientation, 0x28)                                                                           \
    X(PageAngle, 0x29)                                                                             \
    X(PageOrigin, 0x2A)                                                                            \
    X(PageScale, 0x2B)                                                                             \
    X(ROP3, 0x2C)                                                                                  \
    X(TxMode, 0x2D)                                                                                \
    X(CustomMediaSize, 0x2F)                                                                       \
    X(CustomMediaSizeUnits, 0x30)                                                                  \
    X(PageCopies, 0x31)                                                                            \
    X(DitherMatrixSize, 0x32)                                                                      \
    X(DitherMatrixDepth, 0x33)                                                                     \
    X(SimplexPageMode, 0x34)                                                                       \
    X(DuplexPageMode, 0x35)                                                                        \
    X(DuplexPageSide, 0x36)                                                                        \
    X(ArcDirection, 0x41)                                                                          \
    X(BoundingBox, 0x42)                                                                           \
    X(DashOffset, 0x43)                                                                            \
    X(EllipseDimension, 0x44)                                                                      \
    X(EndPoint, 0x45)                                                                              \
    X(FillMode, 0x46)                                                                              \
    X(LineCapStyle, 0x47)                                                                          \
    X(LineJoinStyle, 0x48)                                                                         \
    X(MiterLength, 0x49)                                                                           \
    X(LineDashStyle, 0x4A)                                                                         \
    X(PenWidth, 0x4B)                                                                              \
    X(Point, 0x4C)                                                                                 \
    X(NumberOfPoints, 0x4D)                                                                        \
    X(SolidLine, 0x4E)                                                                             \
    X(StartPoint, 0x4F)                                                                            \
    X(PointType, 0x50)                                                                             \
    X(ControlPoint1, 0x51)                                                                         \
    X(ControlPoint2, 0x52)                                                                         \
    X(ClipRegion, 0x53)                                                                            \
    X(ClipMode, 0x54)                                                                              \
    X(ColorDepth, 0x62)                                                                            \
    X(BlockHeight, 0x63)                                                                           \
    X(ColorMapping, 0x64)                                                                          \
    X(CompressMode, 0x65)                                                                          \
    X(DestinationBox, 0x66)                                                                        \
    X(DestinationSize, 0x67)                                                                       \
    X(PatternPersistence, 0x68)                                                                    \
    X(PatternDefineID, 0x69)                                                                       \
    X(SourceHeight, 0x6B)                                                                          \
    X(SourceWidth, 0x6C)                                                                           \
    X(StartLine, 0x6D)                                                                             \
    X(PadBytesMultiple, 0x6E)                                                                      \
    X(BlockByteLength, 0x6F)                                                                       \
    X(NumberOfScanLines, 0x73)                                                                     \
    X(ColorTreatment, 0x78)                                                                        \
    X(CommentData, 0x81)                                                                           \
    X(DataOrg, 0x82)                                                                               \
    X(Measure, 0x86)                                                                               \
    X(SourceType, 0x88)                                                                            \
    X(UnitsPerMeasure, 0x89)                                                                       \
    X(StreamName, 0x8B)                                                                            \
    X(StreamDataLength, 0x8C)                                                                      \
    X(PCLSelectFont, 0x8D)                                                                         \
    X(ErrorReport, 0x8F)                                                                           \
    X(VUExtension, 0x91)                                                                           \
    X(VUAttr1, 0x93)                                                                               \
    X(VUAttr2, 0x94)                                                                               \
    X(VUAttr3, 0x95)                                                                               \
    X(CharAngle, 0xA1)                                                                             \
    X(CharCode, 0xA2)                                                                              \
    X(CharDataSize, 0xA3)                                                                          \
    X(CharScale, 0xA4)                                                                             \
    X(CharShear, 0xA5)                                                                             \
    X(CharSize, 0xA6)                                                                              \
    X(FontHeaderLength, 0xA7)                                                                      \
    X(FontName, 0xA8)                                                                              \
    X(FontFormat, 0xA9)                                                                            \
    X(SymbolSet, 0xAA)                                                                             \
    X(TextData, 0xAB)                                                                              \
    X(CharSubModeArray, 0xAC)                                                                      \
    X(WritingMode, 0xAD)                                                                           \
    X(XSpacingData, 0xAF)                                                                          \
    X(YSpacingData, 0xB0)                                                                          \
    X(CharBoldValue, 0xB1)

namespace tag {
#define PCLXL_READER_X(name, code, text) constexpr uint8_t name = code;
PCLXL_READER_TAGS(PCLXL_READER_X)
#undef PCLXL_READER_X
} // namespace tag

namespace op {
#define PCLXL_READER_X(name, code) constexpr uint8_t name = code;
PCLXL_READER_OPERATORS(PCLXL_READER_X)
#undef PCLXL_READER_X
} // namespace op

namespace attr {
#define PCLXL_READER_X(name, code) constexpr uint16_t name = code;
PCLXL_READER_ATTRIBUTES(PCLXL_READER_X)
#undef PCLXL_READER_X
} // namespace attr

// Enumeration values the reader's checks depend on.
namespace enums {
constexpr int eBinaryHighByteFirst = 0;
constexpr int eBinaryLowByteFirst = 1;
constexpr int eDirectPixel = 0;
constexpr int eIndexedPixel = 1;
constexpr int e1Bit = 0;
constexpr int e4Bit = 1;
constexpr int e8Bit = 2;
constexpr int eGray = 1;
constexpr int eRGB = 2;
constexpr int eSRGB = 6;
constexpr int eNoCompression = 0;
constexpr int eRLECompression = 1;
constexpr int eJPEGCompression = 2;
constexpr int eDeltaRowCompression = 3;
} // namespace enums

// Stream bytes that are not tags: white space between tokens, and the
// escape byte that starts the UEL ending the PCL XL stream.
constexpr uint8_t kEscape = 0x1B;
bool is_whitespace(uint8_t byte);

// Stream header bindings: the first byte of the stream header line.
constexpr uint8_t kBindingAscii = 0x27;
constexpr uint8_t kBindingHighByteFirst = 0x28;
constexpr uint8_t kBindingLowByteFirst = 0x29;

// Names, or nullptr for codes outside the vocabulary.
const char *tag_name(uint8_t tag);
const char *operator_name(uint8_t code);
const char *attribute_name(uint16_t id);
// The name of an enumerated attribute value, or nullptr when the attribute
// has no enumeration or the value has no name.
const char *enum_name(uint16_t attribute_id, uint32_t value);

} // namespace pclxl_reader

#endif
