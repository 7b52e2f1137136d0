// Shader programs on Mesa under Xvfb, with source files the tests write into a temporary
// "Resources/shaders/": programs link and colour a quad read back from the window, failures log
// and alert (and a user who fixes the file during the alert gets the fixed program, while one
// who never does is not kept in an alert loop for ever), combinations are built on first bind
// with their defines, binds reach GL only when the program changes, and destroying the program
// in use leaves none recorded.
#include "graphics/shader_programs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "runtime/memory/stats.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

const char kVertex[] = "void main() { gl_Position = ftransform(); }\n";
const char kTintFragment[] =
    "uniform vec4 tint;\n"
    "uniform float unused_value;\n"
    "void main() { gl_FragColor = tint; }\n";
const char kBrokenFragment[] = "void main() { gl_FragColor = no_such_thing; }\n";
// The flags and the built-in defines pick the colour.
const char kFlagFragment[] =
    "void main() { gl_FragColor = vec4(float(RED) / 2.0, float(GREEN), float(LIN), 1.0); }\n";
const char kVersionedFragment[] = "#version 110\nvoid main() { gl_FragColor = vec4(0.0, 0.0, float(LIN), 1.0); }\n";

const char kGreenProgram[] =
    "!!ARBfp1.0\n"
    "PARAM green = {0.0, 1.0, 0.0, 1.0};\n"
    "MOV result.color, green;\n"
    "END\n";
const char kBadProgram[] =
    "!!ARBfp1.0\n"
    "MOV result.color, not_declared;\n"
    "END\n";
const char kVertexProgram[] =
    "!!ARBvp1.0\n"
    "PARAM mvp[4] = { state.matrix.mvp };\n"
    "DP4 result.position.x, mvp[0], vertex.position;\n"
    "DP4 result.position.y, mvp[1], vertex.position;\n"
    "DP4 result.position.z, mvp[2], vertex.position;\n"
    "DP4 result.position.w, mvp[3], vertex.position;\n"
    "MOV result.color, vertex.color;\n"
    "END\n";

// The folder the alert action repairs files in.
std::string g_shader_folder;

class ShaderPrograms : public gl_display_test {
 protected:
  static void SetUpTestSuite() {
    // llvmpipe without its rasterizer threads: with them, LeakSanitizer's check at exit of the
    // ARB program tests now and then crashes in its own thread tracer under the sanitizer build.
    setenv("LP_NUM_THREADS", "0", 1);
    gl_display_test::SetUpTestSuite();
    ASSERT_EQ(OGL_extensions::init_entry_points(), 0);
    glExt.init_extensions();
    ASSERT_TRUE(glExt.shad_objs_avail);
    ASSERT_TRUE(glExt.fprog_avail);
  }
  void SetUp() override {
    gl_display_test::SetUp();
    shell_double::reset();
    shell_double::reopen_log();
    g_shader_folder = root_.path() + "Resources/shaders/";
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1024, 0, 768, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  void TearDown() override {
    OGL_shader::unbind_shaders();
    OGL_shader_prog::unbind_shaders();
    shell_double::reset();
  }
  void shader_file(const std::string& name, const std::string& text) {
    root_.write("Resources/shaders/" + name, text);
  }
  // A quad over (200, 200) - (400, 400); the colour of its middle pixel.
  static uint32_t draw_quad() {
    glColor3ub(0x40, 0x80, 0xC0);
    glBegin(GL_QUADS);
    glVertex2f(200, 200);
    glVertex2f(400, 200);
    glVertex2f(400, 400);
    glVertex2f(200, 400);
    glEnd();
    return read_back_buffer(300, 300, 1, 1).rgb(0, 0);
  }

  temp_tree root_;
  current_folder_guard in_root_{root_.path()};
};

TEST_F(ShaderPrograms, APairLinksAndColoursWithItsUniform) {
  shader_file("plain.vert", kVertex);
  shader_file("tint.frag", kTintFragment);
  OGL_shader shader("plain.vert", "tint.frag", "", {"tint", "unused_value"});
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_EQ(shader.vertex_path, "Resources/shaders/plain.vert");
  EXPECT_EQ(shader.prefix, "// no prefix\n");
  EXPECT_GE(shader.get_uniform_loc(0), 0);
  EXPECT_EQ(shader.get_uniform_loc(1), -1);
  EXPECT_THROW(shader.get_uniform_loc(2), std::out_of_range);
  EXPECT_THROW(shader.get_uniform_loc(-1), std::out_of_range);

  shader.bind();
  glExt.glUniform4fARB(shader.get_uniform_loc(0), 1, 0, 1, 1);
  EXPECT_EQ(draw_quad(), 0xFF00FFu);
  save_screenshot("shader_tint_quad");
  OGL_shader::unbind_shaders();
  EXPECT_EQ(draw_quad(), 0x4080C0u);  // fixed function again: the vertex colour
}

TEST_F(ShaderPrograms, AVersionLineStaysFirst) {
  shader_file("plain.vert", kVertex);
  shader_file("versioned.frag", kVersionedFragment);
  OGL_shader shader("plain.vert", "versioned.frag", "", {});
  EXPECT_TRUE(shell_double::alerts().empty()) << shell_double::log_text();
  shader.bind();
  EXPECT_EQ(draw_quad(), 0x0000FFu);
}

TEST_F(ShaderPrograms, AFailingBuildLogsWithItsPrefixAndAlerts) {
  shader_file("plain.vert", kVertex);
  shader_file("broken.frag", kBrokenFragment);
  OGL_shader shader("plain.vert", "broken.frag", nullptr, nullptr);

  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);  // fatal while constructing: no retry
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[0], "There was a problem processing a GLSL pixel shader.");
  EXPECT_EQ(alerts[0].lines[2], "Resources/shaders/plain.vert");
  EXPECT_EQ(alerts[0].lines[3], "Resources/shaders/broken.frag");

  const std::string log = shell_double::log_text();
  const std::string block = "=====Resources/shaders/broken.frag=====\n   (prefix:\n" + shader_builtin_defines() +
                            "// no prefix\nend prefix)\n";
  EXPECT_NE(log.find(block), std::string::npos) << log;
  EXPECT_NE(shader_builtin_defines().find("#define LIN 1\n"), std::string::npos);
  // The whole of GL's log, to its last character.
  GLint length = 0;
  glExt.glGetObjectParameterivARB(shader.fragment_shader, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  ASSERT_GT(length, 1);
  std::string gl_log(static_cast<size_t>(length), '\0');
  GLsizei written = 0;
  glExt.glGetInfoLogARB(shader.fragment_shader, length, &written, &gl_log[0]);
  gl_log.resize(static_cast<size_t>(written));
  EXPECT_NE(log.find(block + gl_log + "\n"), std::string::npos) << log;
}

void repair_fragment(const recorded_alert&) { write_whole_file(g_shader_folder + "tint.frag", kTintFragment); }

TEST_F(ShaderPrograms, AReloadRetriesOnceTheUserFixedTheFile) {
  shader_file("plain.vert", kVertex);
  shader_file("tint.frag", kTintFragment);
  OGL_shader shader("plain.vert", "tint.frag", "", {"tint"});
  const GLhandleARB program = shader.program;
  const GLint before = shader.get_uniform_loc(0);
  ASSERT_GE(before, 0);

  // The file breaks; the reload alerts (not fatally), the user repairs it, and the retry builds.
  shader_file("tint.frag", kBrokenFragment);
  shell_double::set_alert_action(repair_fragment);
  OGL_shader::reload_all_shaders(1);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 1);
  EXPECT_EQ(shader.program, program);
  shader.uniform_locations[0] = -99;  // the next reload refreshes the table
  OGL_shader::reload_all_shaders(1);
  EXPECT_EQ(shader.get_uniform_loc(0), before);
  shader.bind();
  glExt.glUniform4fARB(shader.get_uniform_loc(0), 0, 1, 1, 1);
  EXPECT_EQ(draw_quad(), 0x00FFFFu);

  // A user who never repairs it gets a bounded number of alerts and the program goes on.
  shell_double::reset();
  shader_file("tint.frag", kBrokenFragment);
  OGL_shader::reload_all_shaders(1);
  alerts = shell_double::alerts();
  EXPECT_GE(alerts.size(), 2u);
  EXPECT_LE(alerts.size(), 10u);
  for (const auto& a : alerts) EXPECT_EQ(a.type, 1);
  EXPECT_NE(shell_double::log_text().find("WARNING: gave up building the shader"), std::string::npos);
}

TEST_F(ShaderPrograms, AMissingFileIsFatal) {
  shader_file("plain.vert", kVertex);
  OGL_shader shader("plain.vert", "absent.frag", "", {});
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[0], "We were unable to load the shader file:");
  EXPECT_EQ(alerts[0].lines[1], "Resources/shaders/absent.frag");
  EXPECT_EQ(alerts[0].lines[3], "Re-run the Skyrill installer/updater to correct this problem.");
}

int g_use_calls = 0;
PFNGLUSEPROGRAMOBJECTARBPROC g_real_use = nullptr;
void GLAPIENTRY counting_use(GLhandleARB program) {
  ++g_use_calls;
  g_real_use(program);
}

TEST_F(ShaderPrograms, BindsReachGlOnlyWhenTheProgramChanges) {
  shader_file("plain.vert", kVertex);
  shader_file("tint.frag", kTintFragment);
  g_real_use = glExt.glUseProgramObjectARB;
  glExt.glUseProgramObjectARB = counting_use;
  g_use_calls = 0;
  {
    OGL_shader a("plain.vert", "tint.frag", "", {"tint"});
    OGL_shader b("plain.vert", "tint.frag", "#define SECOND 1\n", {"tint"});
    a.bind();
    a.bind();
    EXPECT_EQ(g_use_calls, 1);
    b.bind();
    EXPECT_EQ(g_use_calls, 2);
    OGL_shader::unbind_shaders();
    OGL_shader::unbind_shaders();
    EXPECT_EQ(g_use_calls, 3);
    b.bind();
  }
  // Destroying the program in use leaves none recorded, and GL uses none.
  EXPECT_EQ(OGL_shader::current_shader, nullptr);
  GLint in_use = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &in_use);
  EXPECT_EQ(in_use, 0);
  // A new shader, wherever it lands, binds for real.
  auto* c = new OGL_shader("plain.vert", "tint.frag", "", {"tint"});
  const int calls = g_use_calls;
  c->bind();
  EXPECT_EQ(g_use_calls, calls + 1);
  glGetIntegerv(GL_CURRENT_PROGRAM, &in_use);
  EXPECT_EQ(static_cast<GLhandleARB>(in_use), c->program);
  delete c;
  glExt.glUseProgramObjectARB = g_real_use;
}

TEST_F(ShaderPrograms, CombinationsAreBuiltOnFirstBindWithTheirDefines) {
  shader_file("plain.vert", kVertex);
  shader_file("flags.frag", kFlagFragment);
  const char* flags[] = {"RED", "GREEN", nullptr};
  const int counts[] = {3, 2};
  OGL_shader_conditional conditional("plain.vert", "flags.frag", nullptr, flags, counts, nullptr);
  EXPECT_EQ(conditional.combination_count(), 6);
  const int values[] = {2, 1};
  EXPECT_EQ(conditional.id_from_flags(values), 5);
  int back[2] = {-1, -1};
  EXPECT_EQ(conditional.flags_from_id(5, back), 2);
  EXPECT_EQ(back[0], 2);
  EXPECT_EQ(back[1], 1);
  for (OGL_shader* s : conditional.combinations) EXPECT_EQ(s, nullptr);  // nothing built yet

  conditional.bind(5);
  ASSERT_NE(conditional.combinations[5], nullptr);
  EXPECT_EQ(conditional.combinations[2], nullptr);
  EXPECT_EQ(draw_quad(), 0xFFFFFFu);  // red 2/2, green 1, blue from LIN
  conditional.bind(2);
  EXPECT_EQ(draw_quad(), 0xFF00FFu);
  conditional.bind(3);
  EXPECT_EQ(draw_quad(), 0x00FFFFu);
  EXPECT_TRUE(shell_double::alerts().empty()) << shell_double::log_text();
  EXPECT_THROW(conditional.get_uniform_loc(3, 0), std::out_of_range);  // not built

  // An id outside the table alerts and builds nothing.
  conditional.bind(6);
  conditional.build(-1);
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(conditional.combination_count(), 6);
  EXPECT_THROW(conditional.get_uniform_loc(6, 0), std::out_of_range);
}

TEST_F(ShaderPrograms, ConditionalEdgeCases) {
  shader_file("plain.vert", kVertex);
  shader_file("tint.frag", kTintFragment);
  // No flags and no prefix: one combination, built with the no-prefix text.
  OGL_shader_conditional single("plain.vert", "tint.frag", nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(single.combination_count(), 1);
  EXPECT_EQ(single.id_from_flags(nullptr), 0);
  single.build(0);
  ASSERT_NE(single.combinations[0], nullptr);
  EXPECT_EQ(single.combinations[0]->prefix, "// no prefix\n");

  // Without counts every flag has two values.
  const char* flags[] = {"A", "B", "C", nullptr};
  OGL_shader_conditional three("plain.vert", "tint.frag", nullptr, flags, nullptr, "// common\n");
  EXPECT_EQ(three.combination_count(), 8);
  three.build(6);
  EXPECT_EQ(three.combinations[6]->prefix, "// common\n#define A 0\n#define B 1\n#define C 1\n");

  // A flag with no values is refused, and never divides by zero.
  const int counts[] = {0};
  const char* one_flag[] = {"Z", nullptr};
  OGL_shader_conditional zero("plain.vert", "tint.frag", nullptr, one_flag, counts, nullptr);
  EXPECT_EQ(zero.combination_count(), 1);
  int value = -1;
  EXPECT_EQ(zero.flags_from_id(0, &value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(shell_double::alerts().size(), 1u);

  // A long prefix and long flag names are no problem.
  const std::string long_name(3000, 'N');
  const char* long_flags[] = {long_name.c_str(), nullptr};
  const std::string long_prefix = "// " + std::string(4000, 'p') + "\n";
  OGL_shader_conditional big("plain.vert", "tint.frag", nullptr, long_flags, nullptr, long_prefix.c_str());
  big.build(1);
  EXPECT_EQ(big.combinations[1]->prefix, long_prefix + "#define " + long_name + " 1\n");
}

void repair_program(const recorded_alert&) { write_whole_file(g_shader_folder + "green.fp", kGreenProgram); }

TEST_F(ShaderPrograms, ArbProgramsLoadBindAndRetryAfterTheUserFixesThem) {
  shader_file("green.fp", kGreenProgram);
  shader_file("pass.vp", kVertexProgram);
  OGL_shader_prog fragment(0, "green.fp");
  OGL_shader_prog vertex(1, "pass.vp");
  EXPECT_TRUE(shell_double::alerts().empty()) << shell_double::log_text();
  fragment.bind();
  EXPECT_EQ(draw_quad(), 0x00FF00u);
  vertex.bind();
  EXPECT_EQ(draw_quad(), 0x00FF00u);
  OGL_shader_prog::unbind_shaders();
  EXPECT_EQ(draw_quad(), 0x4080C0u);

  // A syntax error: the alert names the position and GL's message; the user repairs the file.
  shader_file("green.fp", kBadProgram);
  shell_double::set_alert_action(repair_program);
  fragment.reload(0);
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 1);
  EXPECT_EQ(alerts[0].lines[0], "There was an error with your fragment program");
  EXPECT_NE(alerts[0].lines[1].find(".000000"), std::string::npos) << alerts[0].lines[1];
  EXPECT_NE(alerts[0].lines[1], "-1.000000");
  EXPECT_FALSE(alerts[0].lines[3].empty());
  fragment.bind();
  EXPECT_EQ(draw_quad(), 0x00FF00u);

  // Loading another program never changes the one in use.
  OGL_shader_prog other(0, "green.fp");
  GLint bound = -1;
  glExt.glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), fragment.program);
  EXPECT_NE(other.program, fragment.program);
}

int g_program_string_calls = 0;
PFNGLPROGRAMSTRINGARBPROC g_real_program_string = nullptr;
// GL refuses the text with an error but without a position.
void GLAPIENTRY refuse_without_position(GLenum target, GLenum, GLsizei length, const void* text) {
  ++g_program_string_calls;
  g_real_program_string(target, 0 /* not a format */, length, text);
}

TEST_F(ShaderPrograms, ArbProgramFailuresNeverLoopForEver) {
  shader_file("green.fp", kGreenProgram);
  g_real_program_string = glExt.glProgramStringARB;
  glExt.glProgramStringARB = refuse_without_position;
  g_program_string_calls = 0;
  {
    OGL_shader_prog refused(0, "green.fp");
    EXPECT_GE(g_program_string_calls, 1);
    EXPECT_LE(g_program_string_calls, 10);
  }
  glExt.glProgramStringARB = g_real_program_string;

  // A file that stays wrong through every alert.
  shader_file("bad.fp", kBadProgram);
  {
    OGL_shader_prog bad(0, "bad.fp");
    const auto alerts = shell_double::alerts();
    EXPECT_GE(alerts.size(), 2u);
    EXPECT_LE(alerts.size(), 10u);
    EXPECT_NE(shell_double::log_text().find("WARNING: gave up loading the program"), std::string::npos);
  }

  // A missing file is fatal.
  shell_double::reset();
  { OGL_shader_prog absent(1, "absent.vp"); }
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[0], "Unable to load shader");
  EXPECT_EQ(alerts[0].lines[1], "Resources/shaders/absent.vp");
}

TEST_F(ShaderPrograms, DestroyingTheArbProgramInUseUnbindsBothTypes) {
  shader_file("green.fp", kGreenProgram);
  shader_file("pass.vp", kVertexProgram);
  OGL_shader_prog vertex(1, "pass.vp");
  {
    OGL_shader_prog fragment(0, "green.fp");
    fragment.bind();
    vertex.bind();
    EXPECT_EQ(OGL_shader_prog::current_shader[0], &fragment);
    EXPECT_EQ(OGL_shader_prog::current_shader[1], &vertex);
  }
  EXPECT_EQ(OGL_shader_prog::current_shader[0], nullptr);
  EXPECT_EQ(OGL_shader_prog::current_shader[1], nullptr);
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_EQ(draw_quad(), 0x4080C0u);
}

TEST_F(ShaderPrograms, TheReloadCommand) {
  UTL_remote_cmd* reload = nullptr;
  for (UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c != nullptr; c = c->next)
    if (std::string(c->name) == "Reload Pixel Shaders...") reload = c;
  ASSERT_NE(reload, nullptr);
  ASSERT_TRUE(OGL_shader::shaders.empty());
  reload->callback();  // nothing registered: nothing happens
  EXPECT_TRUE(shell_double::alerts().empty());

  shader_file("plain.vert", kVertex);
  shader_file("tint.frag", kTintFragment);
  OGL_shader shader("plain.vert", "tint.frag", "", {"tint"});
  shader_file("tint.frag", kBrokenFragment);
  reload->callback();
  const auto alerts = shell_double::alerts();
  ASSERT_FALSE(alerts.empty());
  EXPECT_EQ(alerts[0].type, 1);  // a reload's failure is not fatal
}

}  // namespace
