#include "vocabulary.h"

#include <cstddef>

namespace pclxl_reader {

namespace {

struct EnumName {
    uint32_t value;
    const char *name;
};

struct EnumTable {
    uint16_t attribute;
    const EnumName *names;
    size_t count;
};

const EnumName kArcDirection[] = {{0, "eClockWise"}, {1, "eCounterClockWise"}};
const EnumName kCharSubMode[] = {{0, "eNoSubstitution"}, {1, "eVerticalSubstitution"}};
const EnumName kFillRule[] = {{0, "eNonZeroWinding"}, {1, "eEvenOdd"}};
const EnumName kClipRegion[] = {{0, "eInterior"}, {1, "eExterior"}};
const EnumName kColorDepth[] = {{0, "e1Bit"}, {1, "e4Bit"}, {2, "e8Bit"}};
const EnumName kColorMapping[] = {{0, "eDirectPixel"}, {1, "eIndexedPixel"}};
const EnumName kColorSpace[] = {{1, "eGray"}, {2, "eRGB"}, {6, "eSRGB"}};
const EnumName kColorTreatment[] = {{0, "eNoTreatment"}, {1, "eScreenMatch"}, {2, "eVivid"}};
const EnumName kCompressMode[] = {{0, "eNoCompression"},
                                  {1, "eRLECompression"},
                                  {2, "eJPEGCompression"},
                                  {3, "eDeltaRowCompression"}};
const EnumName kDataOrg[] = {{0, "eBinaryHighByteFirst"}, {1, "eBinaryLowByteFirst"}};
const EnumName kSourceType[] = {{0, "eDefaultDataSource"}};
const EnumName kDataType[] = {{0, "eUByte"}, {1, "eSByte"}, {2, "eUInt16"}, {3, "eSInt16"}};
const EnumName kDuplexPageMode[] = {{0, "eDuplexHorizontalBinding"}, {1, "eDuplexVerticalBinding"}};
const EnumName kDuplexPageSide[] = {{0, "eFrontMediaSide"}, {1, "eBackMediaSide"}};
const EnumName kSimplexPageMode[] = {{0, "eSimplexFrontSide"}};
const EnumName kErrorReport[] = {
    {0, "eNoReporting"},   {1, "eBackChannel"}, {2, "eErrorPage"},         {3, "eBackChAndErrPage"},
    {4, "eNWBackChannel"}, {5, "eNWErrorPage"}, {6, "eNWBackChAndErrPage"}};
const EnumName kLineCap[] = {
    {0, "eButtCap"}, {1, "eRoundCap"}, {2, "eSquareCap"}, {3, "eTriangleCap"}};
const EnumName kLineJoin[] = {
    {0, "eMiterJoin"}, {1, "eRoundJoin"}, {2, "eBevelJoin"}, {3, "eNoJoin"}};
const EnumName kMeasure[] = {
    {0, "eInch"}, {1, "eMillimeter"}, {2, "eTenthsOfAMillimeter"}, {3, "e7200thsOfAnInch"}};
const EnumName kMediaDestination[] = {
    {0, "eDefaultDestination"}, {1, "eFaceDownBin"}, {2, "eFaceUpBin"}, {3, "eJobOffsetBin"}};
const EnumName kMediaSize[] = {
    {0, "eLetterPaper"}, {1, "eLegalPaper"}, {2, "eA4Paper"},          {3, "eExecPaper"},
    {4, "eLedgerPaper"}, {5, "eA3Paper"},    {6, "eCOM10Envelope"},    {7, "eMonarchEnvelope"},
    {8, "eC5Envelope"},  {9, "eDLEnvelope"}, {10, "eJB4Paper"},        {11, "eJB5Paper"},
    {12, "eB5Envelope"}, {13, "eB5Paper"},   {14, "eJPostcard"},       {15, "eJDoublePostcard"},
    {16, "eA5Paper"},    {17, "eA6Paper"},   {18, "eJB6Paper"},        {19, "eJIS8K"},
    {20, "eJIS16K"},     {21, "eJISExec"},   {96, "eDefaultPaperSize"}};
const EnumName kOrientation[] = {{0, "ePortraitOrientation"},
                                 {1, "eLandscapeOrientation"},
                                 {2, "eReversePortrait"},
                                 {3, "eReverseLandscape"},
                                 {4, "eDefaultOrientation"}};
const EnumName kPatternPersistence[] = {
    {0, "eTempPattern"}, {1, "ePagePattern"}, {2, "eSessionPattern"}};
const EnumName kTxMode[] = {{0, "eOpaque"}, {1, "eTransparent"}};
const EnumName kWritingMode[] = {{0, "eHorizontal"}, {1, "eVertical"}};

#define PCLXL_READER_ENUM(attribute, table)                                                        \
    { attr::attribute, table, sizeof table / sizeof *table }
const EnumTable kEnumTables[] = {
    PCLXL_READER_ENUM(ArcDirection, kArcDirection),
    PCLXL_READER_ENUM(CharSubModeArray, kCharSubMode),
    PCLXL_READER_ENUM(ClipMode, kFillRule),
    PCLXL_READER_ENUM(FillMode, kFillRule),
    PCLXL_READER_ENUM(ClipRegion, kClipRegion),
    PCLXL_READER_ENUM(ColorDepth, kColorDepth),
    PCLXL_READER_ENUM(PaletteDepth, kColorDepth),
    PCLXL_READER_ENUM(ColorMapping, kColorMapping),
    PCLXL_READER_ENUM(ColorSpace, kColorSpace),
    PCLXL_READER_ENUM(ColorTreatment, kColorTreatment),
    PCLXL_READER_ENUM(CompressMode, kCompressMode),
    PCLXL_READER_ENUM(DataOrg, kDataOrg),
    PCLXL_READER_ENUM(SourceType, kSourceType),
    PCLXL_READER_ENUM(PointType, kDataType),
    PCLXL_READER_ENUM(DitherMatrixDataType, kDataType),
    PCLXL_READER_ENUM(DuplexPageMode, kDuplexPageMode),
    PCLXL_READER_ENUM(DuplexPageSide, kDuplexPageSide),
    PCLXL_READER_ENUM(SimplexPageMode, kSimplexPageMode),
    PCLXL_READER_ENUM(ErrorReport, kErrorReport),
    PCLXL_READER_ENUM(LineCapStyle, kLineCap),
    PCLXL_READER_ENUM(LineJoinStyle, kLineJoin),
    PCLXL_READER_ENUM(Measure, kMeasure),
    PCLXL_READER_ENUM(CustomMediaSizeUnits, kMeasure),
    PCLXL_READER_ENUM(MediaDestination, kMediaDestination),
    PCLXL_READER_ENUM(MediaSize, kMediaSize),
    PCLXL_READER_ENUM(Orientation, kOrientation),
    PCLXL_READER_ENUM(PatternPersistence, kPatternPersistence),
    PCLXL_READER_ENUM(TxMode, kTxMode),
    PCLXL_READER_ENUM(WritingMode, kWritingMode),
};
#undef PCLXL_READER_ENUM

} // namespace

bool is_whitespace(uint8_t byte) {
    return byte == 0x00 || (byte >= 0x09 && byte <= 0x0D) || byte == 0x20;
}

const char *tag_name(uint8_t code) {
    switch (code) {
#define PCLXL_READER_X(name, value, text)                                                          \
    case value: return text;
        PCLXL_READER_TAGS(PCLXL_READER_X)
#undef PCLXL_READER_X
    }
    return nullptr;
}

const char *operator_name(uint8_t code) {
    switch (code) {
#define PCLXL_READER_X(name, value)                                                                \
    case value: return #name;
        PCLXL_READER_OPERATORS(PCLXL_READER_X)
#undef PCLXL_READER_X
    }
    return nullptr;
}

const char *attribute_name(uint16_t id) {
    switch (id) {
#define PCLXL_READER_X(name, value)                                                                \
    case value: return #name;
        PCLXL_READER_ATTRIBUTES(PCLXL_READER_X)
#undef PCLXL_READER_X
    }
    return nullptr;
}

const char *enum_name(uint16_t attribute_id, uint32_t value) {
    for (const EnumTable &t : kEnumTables) {
        if (t.attribute != attribute_id)
            continue;
        for (size_t i = 0; i < t.count; ++i)
            if (t.names[i].value == value)
                return t.names[i].name;
        return nullptr;
    }
    return nullptr;
}

} // namespace pclxl_reader
