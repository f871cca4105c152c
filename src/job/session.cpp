// Session and data-source framing: a PCL XL stream is one session holding
// one data source, which holds the pages.
#include "core.h"
#include "stream/wire.h"

using namespace pclxl::wire;

namespace pclxl::core {

void begin_session(Out out, uint16_t resolution_x, uint16_t resolution_y) {
    say(out, "=> %s\n", "pclxl_begin_session");
    add_attribute_xy(out, resolution_x, resolution_y, attr::UnitsPerMeasure, type_code::UInt16XY);
    add_attribute(out, enums::eInch, attr::Measure, type_code::UByte);
    add_attribute(out, enums::eBackChAndErrPage, attr::ErrorReport, type_code::UByte);
    set_operator(out, op::BeginSession);
    say(out, "<= %s\n", "pclxl_begin_session");
}

void end_session(Out out) {
    say(out, "=> %s\n", "pclxl_end_session");
    set_operator(out, op::EndSession);
    say(out, "<= %s\n", "pclxl_end_session");
}

void open_datasource(Out out) {
    say(out, "=> %s\n", "pclxl_open_datasource");
    add_attribute(out, enums::eDefaultDataSource, attr::SourceType, type_code::UByte);
    add_attribute(out, enums::eBinaryLowByteFirst, attr::DataOrg, type_code::UByte);
    set_operator(out, op::OpenDataSource);
    say(out, "<= %s\n", "pclxl_open_datasource");
}

void close_datasource(Out out) {
    set_operator(out, op::CloseDataSource);
    say(out, "<= %s\n", "pclxl_close_datasource");
}

} // namespace pclxl::core
