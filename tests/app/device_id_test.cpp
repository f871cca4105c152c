// Which driver a printer's IEEE 1284 device ID calls for.
#include <gtest/gtest.h>

#include <string>

#include "device_id.h"

namespace {

TEST(DeviceId, TheCommandSetAndModelPickTheDriver) {
    const struct {
        const char *id;
        const char *driver; // null: not a PCL XL printer
    } cases[] = {
        {"MFG:Acme;MDL:Laser 4000;CMD:PJL,PCLXL,PCL;", "pclxl_mono"},
        {"MFG:Acme;MDL:Color Laser 5;CMD:PJL,PCL6;", "pclxl_color"},
        {"MANUFACTURER:Acme;MODEL:Laser Colour 2;COMMAND SET:PJL,PCL 6;", "pclxl_color"},
        {"MFG:Acme;MDL:Office 3;CMD:PCL-XL;DES:Acme Office 3 colour laser;", "pclxl_color"},
        {"mfg:acme;mdl:laser;cmd:pjl,pclxl;", "pclxl_mono"},
        {"MFG:Acme;MDL:Laser;CMD:PJL,PCL,POSTSCRIPT;", nullptr},
        {"MFG:Acme;MDL:PCLXL Printer;CMD:PJL;", nullptr}, // the name is no command set
        {"MFG:Acme;MDL:Laser;CMD:PJL,PCLXLE;", nullptr},  // whole names only
        {"", nullptr},
    };
    for (const auto &c : cases) {
        const char *got = pclxl_app::driver_for_device_id(c.id);
        EXPECT_STREQ(got, c.driver) << c.id;
    }
}

TEST(DeviceId, AModelNameMakesAnIdTheDriverChoiceReads) {
    EXPECT_EQ(pclxl_app::device_id_for_model("Acme Color Laser;X:1"),
              "MFG:Acme;MDL:Acme Color LaserX1;CMD:PJL,PCLXL;");
    EXPECT_STREQ(
        pclxl_app::driver_for_device_id(pclxl_app::device_id_for_model("Acme Color Laser 4000")),
        "pclxl_color");
    EXPECT_EQ(pclxl_app::device_id_field("MFG:A;MDL:B;", "MODEL"), "B");
}

} // namespace
