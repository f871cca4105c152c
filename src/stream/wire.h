// The PCL XL wire vocabulary used by the encoders: data-type tags, attribute
// ids, operator codes and the enumeration values the library writes itself.
// Names are those of the PCL XL class 3.0 format.
#ifndef PCLXL_STREAM_WIRE_H
#define PCLXL_STREAM_WIRE_H

namespace pclxl::wire {

// Data-type tags. Scalars and xy pairs are followed by their value bytes,
// arrays by a length value (ubyte or uint16 tag + length) and the elements.
namespace tag {
constexpr unsigned char UByte = 0xC0;
constexpr unsigned char UInt16 = 0xC1;
constexpr unsigned char UInt32 = 0xC2;
constexpr unsigned char SInt16 = 0xC3;
constexpr unsigned char SInt32 = 0xC4;
constexpr unsigned char Real32 = 0xC5;
constexpr unsigned char UByteArray = 0xC8;
constexpr unsigned char UInt16Array = 0xC9;
constexpr unsigned char SInt16Array = 0xCB;
constexpr unsigned char UByteXY = 0xD0;
constexpr unsigned char UInt16XY = 0xD1;
constexpr unsigned char UInt32XY = 0xD2;
constexpr unsigned char SInt16XY = 0xD3;
constexpr unsigned char SInt32XY = 0xD4;
constexpr unsigned char Real32XY = 0xD5;
constexpr unsigned char SInt16Box = 0xE3;
constexpr unsigned char Attribute = 0xF8;      // followed by a 1-byte id
constexpr unsigned char DataLength = 0xFA;     // followed by a uint32 length
constexpr unsigned char DataLengthByte = 0xFB; // followed by a 1-byte length
} // namespace tag

// DataTypeCode: how callers of the attribute encoders choose a value type.
namespace type_code {
constexpr unsigned short UByte = 1;
constexpr unsigned short UInt16 = 2;
constexpr unsigned short UInt32 = 3;
constexpr unsigned short SInt16 = 4;
constexpr unsigned short SInt32 = 5;
constexpr unsigned short UByteXY = 10;
constexpr unsigned short UInt16XY = 11;
constexpr unsigned short UInt32XY = 12;
constexpr unsigned short SInt16XY = 13;
constexpr unsigned short SInt32XY = 14;
} // namespace type_code

namespace attr {
constexpr unsigned char PaletteDepth = 0x02;
constexpr unsigned char ColorSpace = 0x03;
constexpr unsigned char NullBrush = 0x04;
constexpr unsigned char NullPen = 0x05;
constexpr unsigned char PaletteData = 0x06;
constexpr unsigned char GrayLevel = 0x09;
constexpr unsigned char RGBColor = 0x0B;
constexpr unsigned char MediaSize = 0x25;
constexpr unsigned char MediaSource = 0x26;
constexpr unsigned char MediaType = 0x27;
constexpr unsigned char Orientation = 0x28;
constexpr unsigned char PageAngle = 0x29;
constexpr unsigned char PageOrigin = 0x2A;
constexpr unsigned char PageScale = 0x2B;
constexpr unsigned char ROP3 = 0x2C;
constexpr unsigned char TxMode = 0x2D;
constexpr unsigned char CustomMediaSize = 0x2F;
constexpr unsigned char CustomMediaSizeUnits = 0x30;
constexpr unsigned char PageCopies = 0x31;
constexpr unsigned char DuplexPageMode = 0x35;
constexpr unsigned char BoundingBox = 0x42;
constexpr unsigned char EllipseDimension = 0x44;
constexpr unsigned char EndPoint = 0x45;
constexpr unsigned char FillMode = 0x46;
constexpr unsigned char LineCapStyle = 0x47;
constexpr unsigned char LineJoinStyle = 0x48;
constexpr unsigned char MiterLength = 0x49;
constexpr unsigned char LineDashStyle = 0x4A;
constexpr unsigned char PenWidth = 0x4B;
constexpr unsigned char Point = 0x4C;
constexpr unsigned char NumberOfPoints = 0x4D;
constexpr unsigned char SolidLine = 0x4E;
constexpr unsigned char StartPoint = 0x4F;
constexpr unsigned char PointType = 0x50;
constexpr unsigned char ClipRegion = 0x53;
constexpr unsigned char ClipMode = 0x54;
constexpr unsigned char ColorDepth = 0x62;
constexpr unsigned char BlockHeight = 0x63;
constexpr unsigned char ColorMapping = 0x64;
constexpr unsigned char CompressMode = 0x65;
constexpr unsigned char DestinationSize = 0x67;
constexpr unsigned char SourceHeight = 0x6B;
constexpr unsigned char SourceWidth = 0x6C;
constexpr unsigned char StartLine = 0x6D;
constexpr unsigned char CommentData = 0x81;
constexpr unsigned char DataOrg = 0x82;
constexpr unsigned char Measure = 0x86;
constexpr unsigned char SourceType = 0x88;
constexpr unsigned char UnitsPerMeasure = 0x89;
constexpr unsigned char ErrorReport = 0x8F;
constexpr unsigned char CharCode = 0xA2;
constexpr unsigned char CharDataSize = 0xA3;
constexpr unsigned char CharSize = 0xA6;
constexpr unsigned char FontHeaderLength = 0xA7;
constexpr unsigned char FontName = 0xA8;
constexpr unsigned char FontFormat = 0xA9;
constexpr unsigned char SymbolSet = 0xAA;
constexpr unsigned char TextData = 0xAB;
constexpr unsigned char XSpacingData = 0xAF;
} // namespace attr

namespace op {
constexpr unsigned char BeginSession = 0x41;
constexpr unsigned char EndSession = 0x42;
constexpr unsigned char BeginPage = 0x43;
constexpr unsigned char EndPage = 0x44;
constexpr unsigned char Comment = 0x47;
constexpr unsigned char OpenDataSource = 0x48;
constexpr unsigned char CloseDataSource = 0x49;
constexpr unsigned char BeginFontHeader = 0x4F;
constexpr unsigned char ReadFontHeader = 0x50;
constexpr unsigned char EndFontHeader = 0x51;
constexpr unsigned char BeginChar = 0x52;
constexpr unsigned char ReadChar = 0x53;
constexpr unsigned char EndChar = 0x54;
constexpr unsigned char RemoveFont = 0x55;
constexpr unsigned char PopGS = 0x60;
constexpr unsigned char PushGS = 0x61;
constexpr unsigned char SetClipReplace = 0x62;
constexpr unsigned char SetBrushSource = 0x63;
constexpr unsigned char SetClipIntersect = 0x67;
constexpr unsigned char SetClipRectangle = 0x68;
constexpr unsigned char SetClipToPage = 0x69;
constexpr unsigned char SetColorSpace = 0x6A;
constexpr unsigned char SetCursor = 0x6B;
constexpr unsigned char SetFillMode = 0x6E;
constexpr unsigned char SetFont = 0x6F;
constexpr unsigned char SetLineDash = 0x70;
constexpr unsigned char SetLineCap = 0x71;
constexpr unsigned char SetLineJoin = 0x72;
constexpr unsigned char SetMiterLimit = 0x73;
constexpr unsigned char SetPageDefaultCTM = 0x74;
constexpr unsigned char SetPageOrigin = 0x75;
constexpr unsigned char SetPageRotation = 0x76;
constexpr unsigned char SetPageScale = 0x77;
constexpr unsigned char SetPaintTxMode = 0x78;
constexpr unsigned char SetPenSource = 0x79;
constexpr unsigned char SetPenWidth = 0x7A;
constexpr unsigned char SetROP = 0x7B;
constexpr unsigned char SetSourceTxMode = 0x7C;
constexpr unsigned char SetClipMode = 0x7F;
constexpr unsigned char CloseSubPath = 0x84;
constexpr unsigned char NewPath = 0x85;
constexpr unsigned char PaintPath = 0x86;
constexpr unsigned char ArcPath = 0x91;
constexpr unsigned char BezierPath = 0x93;
constexpr unsigned char BezierRelPath = 0x95;
constexpr unsigned char EllipsePath = 0x99;
constexpr unsigned char LinePath = 0x9B;
constexpr unsigned char LineRelPath = 0x9D;
constexpr unsigned char RectanglePath = 0xA1;
constexpr unsigned char RoundRectanglePath = 0xA3;
constexpr unsigned char Text = 0xA8;
constexpr unsigned char BeginImage = 0xB0;
constexpr unsigned char ReadImage = 0xB1;
constexpr unsigned char EndImage = 0xB2;
} // namespace op

// Enumeration values that the library itself writes.
namespace enums {
constexpr unsigned char eInch = 0;
constexpr unsigned char eBackChAndErrPage = 3;
constexpr unsigned char eDefaultDataSource = 0;
constexpr unsigned char eBinaryLowByteFirst = 1;
constexpr unsigned char ePortraitOrientation = 0;
constexpr unsigned char eDuplexHorizontalBinding = 0;
constexpr unsigned char eDuplexVerticalBinding = 1;
constexpr unsigned char eTenthsOfAMillimeter = 2;
constexpr unsigned char eOpaque = 0;
constexpr unsigned char eNonZeroWinding = 0;
constexpr unsigned char kRopSourceCopy = 204;
constexpr unsigned char eGray = 1;
constexpr unsigned char eRGB = 2;
constexpr unsigned char e1Bit = 0;
constexpr unsigned char e8Bit = 2;
constexpr unsigned char eDirectPixel = 0;
constexpr unsigned char eIndexedPixel = 1;
constexpr unsigned char eInterior = 0;
constexpr unsigned char eUByte = 0;
constexpr unsigned char eSByte = 1;
constexpr unsigned char eSInt16 = 3;
constexpr unsigned char eDeltaRowCompression = 3;
constexpr unsigned char kFontFormat0 = 0;
// NullPen, NullBrush and SolidLine: the attribute's presence is the value.
constexpr unsigned char kPresent = 0;
} // namespace enums

} // namespace pclxl::wire

#endif
