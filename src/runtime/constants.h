// Constants every unit shares: unit-conversion factors, a few display figures, default folder
// and file names, the build names and the name shown for an installation not yet scanned.
// Each unit holds its own copy (internal linkage), so nothing depends on the order in which
// units are initialised.
#pragma once

#include <string>

// Unit conversions. The force group (lbstontn to meptoenp) rests on a pound-force of
// 4.4444265 N rather than 4.4482216 N; it is kept as it was for files that use it, but new
// computations should not rely on it.
static const float littogal = 0.26417202f;      // litres to US gallons
static const float kgstolbs = 2.204622f;        // kilograms to pounds
static const float mtrstoft = 3.28084f;         // metres to feet
static const float watttohp = 0.0013410219f;    // watts to horsepower
static const float radtodeg = 57.295776f;       // radians to degrees
static const float degtorad = 0.017453294f;     // degrees to radians
static const float fpstokts = 0.5924838f;       // feet per second to knots
static const float ktstomsc = 0.5144445f;       // knots to metres per second
static const float msctokts = 1.9438444f;       // metres per second to knots
static const float rpmtorsc = 0.104719765f;     // revolutions per minute to radians per second
static const float rsctorpm = 9.549295f;        // radians per second to revolutions per minute
static const float fpmtomsc = 0.00508f;         // feet per minute to metres per second
static const float msctofpm = 196.85039f;       // metres per second to feet per minute
static const float nmtomtrs = 1852.0f;          // nautical miles to metres
static const float mtrstonm = 0.0005399568f;    // metres to nautical miles
static const float smtomtrs = 1609.344f;        // statute miles to metres
static const float mtrstosm = 0.0006213712f;    // metres to statute miles
static const float sftosmtr = 0.09290304f;      // square feet to square metres
static const float smtrtosf = 10.76391f;        // square metres to square feet
static const float lbstontn = 4.4444265f;       // pounds to newtons
static const float ntntolbs = 0.2250009f;       // newtons to pounds
static const float ftlbtonm = 1.3546612f;       // foot-pounds to newton-metres
static const float nmtoftlb = 0.73819196f;      // newton-metres to foot-pounds
static const float endtomed = 514.9391f;        // slug per cubic foot to kilograms per cubic metre
static const float medtoend = 0.0019419773f;    // kilograms per cubic metre to slug per cubic foot
static const float enptomep = 47.83941f;        // pounds per square foot to pascals
static const float meptoenp = 0.020903269f;     // pascals to pounds per square foot
static const float enItomtI = 0.042140123f;     // pound square feet to kilogram square metres
static const float mtltoenl = 23.730354f;       // kilogram square metres to pound square feet
static const float pasto_hg = 0.00029528743f;   // pascals to inches of mercury
static const float hg_topas = 3386.5308f;       // inches of mercury to pascals
static const float milto_hg = 0.029528743f;     // millibars to inches of mercury
static const float hg_tomil = 33.86531f;        // inches of mercury to millibars
static const float sm_to_nm = 0.86897624f;      // statute miles to nautical miles
static const float lbhtokgs = 0.00012599792f;   // pounds per hour to kilograms per second
static const float kgstolbh = 7936.639f;        // kilograms per second to pounds per hour
static const float pastopsi = 0.00014503264f;   // pascals to pounds per square inch
static const float msctomph = 2.2369363f;       // metres per second to miles per hour
static const float mphtomsc = 0.44704f;         // miles per hour to metres per second
static const float kgstopph = 7936.639f;        // the same as kgstolbh
static const float scn_vis_ele = 30480.0f;      // metres (100,000 feet)
static const float loc_deg_per_dot = 1.2f;      // degrees per dot of a localizer deviation
static const float gls_deg_per_dot = 0.28f;     // degrees per dot of a glide-slope deviation
static const float prd_min = 0.000990099f;      // the shortest period, 1/1010 s

// Default folders and names.
static const std::string afl_path = "Airfoils/";
static const std::string wpn_path = "Weapons/";
static const std::string apt_path_def = "LOWI";
static const std::string acf_path = "Aircraft/";
// The aircraft folder already ends with "/", so nothing is put between the two parts.
static const std::string acf_path_def = acf_path + "General Aviation/Zuvodo VerUru/c4.acf";
static const std::string no_install_name = "Not Yet Scanned";
static const std::string data_path = "Resources/default data/";
static const std::string build_name[3] = {"Skyrill 9.10r1", "Mars", "Moon"};
