// Session and data-source framing: a PCL XL stream is one session holding
// one data source, which holds the pages.
#include <cstdio>

#include "stream/output.h"
#include "pclxl.hpp"
#include "stream/wire.h"

using namespace pclxl::wire;

extern "C" {

void pclxl_begin_session(uint16_t resolution_x, uint16_t resolution_y) {
    pclxl::say("=> %s\n", "pclxl_begin_session");
    _pclxl_add_attributeXY(resolution_x, resolution_y, attr::UnitsPerMeasure, type_code::UInt16XY);
    _pclxl_add_attribute(enums::eInch, attr::Measure, type_code::UByte);
    _pclxl_add_attribute(enums::eBackChAndErrPage, attr::ErrorReport, type_code::UByte);
    _pclxl_set_operator(op::BeginSession);
    pclxl::say("<= %s\n", "pclxl_begin_session");
}

void pclxl_end_session(void) {
    pclxl::say("=> %s\n", "pclxl_end_session");
    _pclxl_set_operator(op::EndSession);
    pclxl::say("<= %s\n", "pclxl_end_session");
}

void pclxl_open_datasource(void) {
    pclxl::say("=> %s\n", "pclxl_open_datasource");
    _pclxl_add_attribute(enums::eDefaultDataSource, attr::SourceType, type_code::UByte);
    _pclxl_add_attribute(enums::eBinaryLowByteFirst, attr::DataOrg, type_code::UByte);
    _pclxl_set_operator(op::OpenDataSource);
    pclxl::say("<= %s\n", "pclxl_open_datasource");
}

void pclxl_close_datasource(void) {
    _pclxl_set_operator(op::CloseDataSource);
    pclxl::say("<= %s\n", "pclxl_close_datasource");
}

} // extern "C"
