#include "graphics/shader_programs.h"

#include <cstdio>
#include <stdexcept>

#include "files/mapped_file.h"
#include "graphics/gl_capabilities.h"
#include "runtime/memory/stats.h"
#include "runtime/shell_services.h"

std::set<OGL_shader*> OGL_shader::shaders;
OGL_shader* OGL_shader::current_shader = nullptr;
std::set<OGL_shader_prog*> OGL_shader_prog::shaders;
OGL_shader_prog* OGL_shader_prog::current_shader[2] = {nullptr, nullptr};
const GLenum shader_types[2] = {GL_FRAGMENT_PROGRAM_ARB, GL_VERTEX_PROGRAM_ARB};

namespace {

const char kAlertFile[] = "/code/design++/RIzirud/OGL/OGL_shader";
const char kFolder[] = "Resources/shaders/";

// A source the user keeps getting wrong must not hold the program in an endless alert loop:
// after this many alerts the build is given up and logged.
constexpr int kMaxBuildAlerts = 5;

void do_reload() { OGL_shader::reload_all_shaders(1); }
UTL_remote_cmd cmd_do_pick_tex("Reload Pixel Shaders...", do_reload);

std::vector<std::string> names_of(const char* const* list) {
  std::vector<std::string> names;
  for (; list != nullptr && *list != nullptr; ++list) names.emplace_back(*list);
  return names;
}

// The source of one stage as the pieces GL gets, in order. GLSL wants a "#version" line before
// anything else, so a file that opens with one keeps it in front of the defines.
std::vector<std::string> source_pieces(const std::string& defines, const std::string& prefix, const char* text,
                                       size_t size) {
  size_t version_end = 0;
  static const char kVersion[] = "#version";
  if (size >= sizeof kVersion - 1 && std::string(text, sizeof kVersion - 1) == kVersion) {
    while (version_end < size && text[version_end] != '\n') ++version_end;
    if (version_end < size) ++version_end;
  }
  return {std::string(text, version_end), defines, prefix, std::string(text + version_end, size - version_end)};
}

}  // namespace

std::string shader_builtin_defines() {
  // This is the Linux build: APL and IBM are off.
  return std::string("#define APL 0\n#define IBM 0\n#define LIN 1\n") +
         (glExt.first_gen_shaders ? "#define LIMITED 1\n" : "#define LIMITED 0\n");
}

void log_shader_obj(const std::string& name, const std::string& prefix, GLhandleARB object) {
  GLint length = 0;
  glExt.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  if (length < 0) length = 0;
  std::vector<char> text(static_cast<size_t>(length) + 1, 0);
  GLsizei written = 0;
  // GL's length counts the terminating zero; asking for it all loses no character.
  if (length > 0) glExt.glGetInfoLogARB(object, length, &written, text.data());
  if (written < 0) written = 0;
  if (written > length) written = length;
  text[static_cast<size_t>(written)] = 0;
  xer << "=====" << name << "=====\n"
      << "   (prefix:\n"
      << prefix << "end prefix)\n"
      << text.data() << "\n";
  xer.flush();
}

// GLSL programs

OGL_shader::OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const std::string& prefix_text,
                       const std::vector<std::string>& uniforms)
    : program(0), vertex_shader(0), fragment_shader(0) {
  uniform_names = uniforms;
  init(vertex_file, fragment_file, prefix_text);
}

OGL_shader::OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix_text,
                       const char* const* uniforms)
    : program(0), vertex_shader(0), fragment_shader(0) {
  uniform_names = names_of(uniforms);
  init(vertex_file ? vertex_file : "", fragment_file ? fragment_file : "", prefix_text ? prefix_text : "");
}

void OGL_shader::init(const std::string& vertex_file, const std::string& fragment_file,
                      const std::string& prefix_text) {
  shaders.insert(this);
  vertex_path = kFolder + vertex_file;
  fragment_path = kFolder + fragment_file;
  prefix = prefix_text.empty() ? "// no prefix\n" : prefix_text;
  program = glExt.glCreateProgramObjectARB();
  uniform_locations.assign(uniform_names.size(), 0);
  reload(0);
}

OGL_shader::~OGL_shader() {
  shaders.erase(this);
  // A later object at the same address must not be taken for the program in use.
  if (current_shader == this) unbind_shaders();
  if (fragment_shader != 0) glExt.glDeleteObjectARB(fragment_shader);
  if (vertex_shader != 0) glExt.glDeleteObjectARB(vertex_shader);
  glExt.glDeleteObjectARB(program);
}

bool OGL_shader::build_stage(GLenum kind, const std::string& path, const std::string& defines,
                             GLhandleARB& handle, bool& failed) {
  if (handle != 0) {
    glExt.glDetachObjectARB(program, handle);
    glExt.glDeleteObjectARB(handle);
    handle = 0;
  }
  xmap_class file(path);
  if (!file.mapped()) {
    __MACIBM_alert(0, "We were unable to load the shader file:", path, "",
                   "Re-run the Skyrill installer/updater to correct this problem.", t_exit, kAlertFile, __LINE__);
    return false;
  }
  handle = glExt.glCreateShaderObjectARB(kind);
  const std::vector<std::string> pieces =
      source_pieces(defines, prefix, file.begin, static_cast<size_t>(file.size()));
  const GLcharARB* texts[4];
  GLint lengths[4];
  for (size_t i = 0; i < pieces.size(); ++i) {
    texts[i] = pieces[i].data();
    lengths[i] = static_cast<GLint>(pieces[i].size());
  }
  glExt.glShaderSourceARB(handle, static_cast<GLsizei>(pieces.size()), texts, lengths);
  glExt.glCompileShaderARB(handle);
  GLint compiled = 0;
  glExt.glGetObjectParameterivARB(handle, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  if (!compiled) {
    log_shader_obj(path, defines + prefix, handle);
    failed = true;
  }
  glExt.glAttachObjectARB(program, handle);
  return true;
}

void OGL_shader::reload(int reloading) {
  const std::string defines = shader_builtin_defines();
  for (int alerts = 0;;) {
    bool failed = false;
    if (!build_stage(GL_VERTEX_SHADER_ARB, vertex_path, defines, vertex_shader, failed)) return;
    if (!build_stage(GL_FRAGMENT_SHADER_ARB, fragment_path, defines, fragment_shader, failed)) return;
    glExt.glLinkProgramARB(program);
    GLint linked = 0;
    glExt.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
      log_shader_obj(vertex_path + "+" + fragment_path, defines + prefix, program);
      failed = true;
    }
    for (size_t i = 0; i < uniform_names.size(); ++i)
      uniform_locations[i] = glExt.glGetUniformLocationARB(program, uniform_names[i].c_str());
    if (!failed) return;

    __MACIBM_alert(0, "There was a problem processing a GLSL pixel shader.",
                   "You may need to rerun the installer or update your graphics drivers.", vertex_path, fragment_path,
                   reloading ? t_alert : t_exit, kAlertFile, __LINE__);
    // A fatal alert does not come back in the program; where it does (a test's shell) there is
    // nothing to retry for.
    if (!reloading) return;
    if (++alerts >= kMaxBuildAlerts) {
      xer << "WARNING: gave up building the shader " << vertex_path << "+" << fragment_path << " after "
          << alerts << " tries.\n";
      xer.flush();
      return;
    }
  }
}

void OGL_shader::bind() {
  if (current_shader == this) return;
  glExt.glUseProgramObjectARB(program);
  current_shader = this;
}

void OGL_shader::unbind_shaders() {
  if (current_shader == nullptr) return;
  glExt.glUseProgramObjectARB(0);
  current_shader = nullptr;
}

GLint OGL_shader::get_uniform_loc(int index) const {
  if (index < 0) throw std::out_of_range("OGL_shader::get_uniform_loc");
  return uniform_locations.at(static_cast<size_t>(index));
}

void OGL_shader::reload_all_shaders(int reloading) {
  // A copy: a reload never adds or removes shaders, but the registry must not change under the
  // walk if an alert's frames ever did.
  const std::set<OGL_shader*> all = shaders;
  for (OGL_shader* shader : all) shader->reload(reloading);
}

// One build per combination of flags

OGL_shader_conditional::OGL_shader_conditional(const char* vertex, const char* fragment,
                                               const char* const* uniforms, const char* const* flags,
                                               const int* counts, const char* prefix_text)
    : prefix(prefix_text ? prefix_text : ""),
      vertex_file(vertex ? vertex : ""),
      fragment_file(fragment ? fragment : ""),
      uniform_names(names_of(uniforms)),
      flag_names(names_of(flags)) {
  size_t total = 1;
  for (size_t i = 0; i < flag_names.size(); ++i) {
    int count = counts ? counts[i] : 2;
    if (count < 1) {
      __MACIBM_alert(0, "A shader flag needs at least one value.", flag_names[i], vertex_file, fragment_file,
                     t_exit, kAlertFile, __LINE__);
      count = 1;
    }
    flag_counts.push_back(count);
    total *= static_cast<size_t>(count);
  }
  combinations.assign(total, nullptr);
}

OGL_shader_conditional::~OGL_shader_conditional() {
  for (OGL_shader* shader : combinations) delete shader;
}

int OGL_shader_conditional::id_from_flags(const int* values) const {
  int id = 0, weight = 1;
  for (size_t i = 0; i < flag_counts.size(); ++i) {
    id += values[i] * weight;
    weight *= flag_counts[i];
  }
  return id;
}

int OGL_shader_conditional::flags_from_id(int id, int* values) const {
  for (size_t i = 0; i < flag_counts.size(); ++i) {
    values[i] = id % flag_counts[i];
    id /= flag_counts[i];
  }
  return static_cast<int>(flag_counts.size());
}

void OGL_shader_conditional::build(int id) {
  if (!valid_id(id)) {
    __MACIBM_alert(0, "A shader combination was asked for that does not exist.", vertex_file + "+" + fragment_file,
                   "combination:", std::to_string(id), t_exit, kAlertFile, __LINE__);
    return;
  }
  std::vector<int> values(flag_counts.size());
  flags_from_id(id, values.data());
  std::string composed = prefix;
  for (size_t i = 0; i < flag_names.size(); ++i)
    composed += "#define " + flag_names[i] + " " + std::to_string(values[i]) + "\n";
  delete combinations[static_cast<size_t>(id)];
  combinations[static_cast<size_t>(id)] = nullptr;
  combinations[static_cast<size_t>(id)] = new OGL_shader(vertex_file, fragment_file, composed, uniform_names);
}

void OGL_shader_conditional::bind(int id) {
  if (!valid_id(id)) {
    build(id);  // alerts
    return;
  }
  if (combinations[static_cast<size_t>(id)] == nullptr) build(id);
  combinations[static_cast<size_t>(id)]->bind();
}

GLint OGL_shader_conditional::get_uniform_loc(int id, int index) const {
  if (id < 0) throw std::out_of_range("OGL_shader_conditional::get_uniform_loc");
  const OGL_shader* shader = combinations.at(static_cast<size_t>(id));
  if (shader == nullptr) throw std::out_of_range("OGL_shader_conditional::get_uniform_loc: not built");
  return shader->get_uniform_loc(index);
}

// ARB programs

OGL_shader_prog::OGL_shader_prog(int program_type, const std::string& file_name) : program(0), type(program_type) {
  shaders.insert(this);
  glExt.glGenProgramsARB(1, &program);
  path = kFolder + file_name;
  reload(0);
}

OGL_shader_prog::~OGL_shader_prog() {
  if (current_shader[type] == this) unbind_shaders();
  glExt.glDeleteProgramsARB(1, &program);
  shaders.erase(this);
}

void OGL_shader_prog::reload(int) {
  const GLenum target = shader_types[type];
  glExt.glBindProgramARB(target, program);
  for (int alerts = 0;;) {
    xmap_class file(path);
    if (!file.mapped()) {
      __MACIBM_alert(0, "Unable to load shader", path, "", "You may need to reinstall Skyrill.", t_exit, kAlertFile,
                     __LINE__);
      break;
    }
    // An error left over from earlier drawing must not be taken for this load's.
    while (glGetError() != GL_NO_ERROR) {
    }
    glExt.glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(file.size()), file.begin);
    if (glGetError() == GL_NO_ERROR) {
      GLint native = 1;
      glExt.glGetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
      if (native == 0) {
        xer << "Warning: pixel shader " << path << " not under native limits.\n";
      }
      break;
    }
    GLint position = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
    const char* message = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
    if (position == -1) {
      // Without a position the same text would fail the same way again: no retry.
      xer << "WARNING: the program " << path << " was refused: " << (message ? message : "") << "\n";
      xer.flush();
      break;
    }
    char where[64];
    std::snprintf(where, sizeof where, "%f", static_cast<float>(position));
    __MACIBM_alert(0, "There was an error with your fragment program", where, "", message ? message : "", t_alert,
                   kAlertFile, __LINE__);
    if (++alerts >= kMaxBuildAlerts) {
      xer << "WARNING: gave up loading the program " << path << " after " << alerts << " tries.\n";
      xer.flush();
      break;
    }
  }
  // Loading never changes which program is in use.
  glExt.glBindProgramARB(target, current_shader[type] ? current_shader[type]->program : 0);
}

void OGL_shader_prog::bind() {
  if (current_shader[type] == this) return;
  glEnable(shader_types[type]);
  glExt.glBindProgramARB(shader_types[type], program);
  current_shader[type] = this;
}

void OGL_shader_prog::unbind_shaders() {
  for (int t = 0; t < 2; ++t) {
    if (current_shader[t] == nullptr) continue;
    glDisable(shader_types[t]);
    glExt.glBindProgramARB(shader_types[t], 0);
    current_shader[t] = nullptr;
  }
}

void OGL_shader_prog::reload_all_shaders(int unused) {
  const std::set<OGL_shader_prog*> all = shaders;
  for (OGL_shader_prog* prog : all) prog->reload(unused);
}
