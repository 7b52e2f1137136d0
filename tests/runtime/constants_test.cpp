#include "runtime/constants.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "runtime/angles.h"

namespace {
uint32_t bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}
struct row {
  const char* name;
  float value;
  const char* decimal;  // the published value, parsed independently of the header
};
#define ROW(name, text) {#name, name, text}
}  // namespace

TEST(Constants, FloatsHoldThePublishedValues) {
  const row rows[] = {
      ROW(littogal, "0.26417202"), ROW(kgstolbs, "2.204622"), ROW(mtrstoft, "3.28084"),
      ROW(watttohp, "0.0013410219"), ROW(radtodeg, "57.295776"), ROW(degtorad, "0.017453294"),
      ROW(fpstokts, "0.5924838"), ROW(ktstomsc, "0.5144445"), ROW(msctokts, "1.9438444"),
      ROW(rpmtorsc, "0.104719765"), ROW(rsctorpm, "9.549295"), ROW(fpmtomsc, "0.00508"),
      ROW(msctofpm, "196.85039"), ROW(nmtomtrs, "1852"), ROW(mtrstonm, "0.0005399568"),
      ROW(smtomtrs, "1609.344"), ROW(mtrstosm, "0.0006213712"), ROW(sftosmtr, "0.09290304"),
      ROW(smtrtosf, "10.76391"), ROW(lbstontn, "4.4444265"), ROW(ntntolbs, "0.2250009"),
      ROW(ftlbtonm, "1.3546612"), ROW(nmtoftlb, "0.73819196"), ROW(endtomed, "514.9391"),
      ROW(medtoend, "0.0019419773"), ROW(enptomep, "47.83941"), ROW(meptoenp, "0.020903269"),
      ROW(enItomtI, "0.042140123"), ROW(mtltoenl, "23.730354"), ROW(pasto_hg, "0.00029528743"),
      ROW(hg_topas, "3386.5308"), ROW(milto_hg, "0.029528743"), ROW(hg_tomil, "33.86531"),
      ROW(sm_to_nm, "0.86897624"), ROW(lbhtokgs, "0.00012599792"), ROW(kgstolbh, "7936.639"),
      ROW(pastopsi, "0.00014503264"), ROW(msctomph, "2.2369363"), ROW(mphtomsc, "0.44704"),
      ROW(kgstopph, "7936.639"), ROW(scn_vis_ele, "30480"), ROW(loc_deg_per_dot, "1.2"),
      ROW(gls_deg_per_dot, "0.28"), ROW(prd_min, "0.000990099"),
      // The angles are pinned to the stored radians, not recomputed from degrees.
      ROW(f1, "0.14660767"), ROW(f2, "0.18849556"), ROW(f3, "0.073303834"),
      ROW(f4, "0.094247781"), ROW(f5, "0.13613568"), ROW(f6, "0.062831856"),
      ROW(f7, "0.083775803"), ROW(f8, "0.12566371"), ROW(f9, "0.073303834"),
  };
  for (const row& r : rows)
    EXPECT_EQ(bits(r.value), bits(std::strtof(r.decimal, nullptr))) << r.name;

  // Pairs that must agree with each other whatever their published digits.
  EXPECT_EQ(bits(kgstopph), bits(kgstolbh));
  EXPECT_NEAR(degtorad * radtodeg, 1.0f, 1e-6f);
  EXPECT_NEAR(mtrstoft * 0.3048f, 1.0f, 1e-6f);
  EXPECT_NEAR(nmtomtrs * mtrstonm, 1.0f, 1e-6f);
  EXPECT_NEAR(ktstomsc * msctokts, 1.0f, 1e-6f);
  EXPECT_NEAR(mphtomsc * msctomph, 1.0f, 1e-6f);
}
