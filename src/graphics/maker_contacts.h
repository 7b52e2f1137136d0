// The maker's addresses and edition names that alert texts point the user to.
#pragma once

static const char* const maker_web_address = "www.skyrill.net";
static const char* const maker_support_mail = "support@skyrill.net";
// The edition of the simulator that draws without a 3-D accelerator.
static const char* const software_edition_name = "9 Software Edition";
