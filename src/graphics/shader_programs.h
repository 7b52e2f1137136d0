// Shader programs: a GLSL vertex and fragment pair read from files (OGL_shader), one such pair
// built once per combination of #define flags, each combination on first use
// (OGL_shader_conditional), and ARB vertex or fragment programs in the assembly text format
// (OGL_shader_prog). Sources live under "Resources/shaders/" beside the application.
//
// Every object registers itself so that all can be rebuilt from their files while the program
// runs (the GLSL ones by the remote command "Reload Pixel Shaders..."), and each class keeps the
// program in use, so that binding it again costs no GL call. Entry points come from glExt.
// Main thread only, with the GL context current.
//
// Every GLSL source gets, in front of its file text, the built-in defines (APL, IBM, LIN and
// LIMITED) and the object's prefix. A file that starts with a "#version" line keeps that line
// first, as GLSL requires; files without one compile as GLSL 1.10.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <set>
#include <string>
#include <vector>

// Writes the compile or link log of a GL object to the log: "=====name=====", the prefix text
// between "   (prefix:" and "end prefix)", then the log.
void log_shader_obj(const std::string& name, const std::string& prefix, GLhandleARB object);

// The defines put in front of every GLSL source.
std::string shader_builtin_defines();

class OGL_shader {
 public:
  // Registers the object, makes its program object and builds it (a failure is fatal). An
  // empty or null prefix becomes "// no prefix\n"; uniforms is null-terminated (null: none).
  OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const std::string& prefix,
             const std::vector<std::string>& uniforms);
  OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix, const char* const* uniforms);
  ~OGL_shader();
  OGL_shader(const OGL_shader&) = delete;
  OGL_shader& operator=(const OGL_shader&) = delete;

  // Compiles both files and links, keeping the program object. A failure alerts, fatally when
  // reloading is 0; while reloading the user may fix the files and dismiss the alert, and the
  // build is tried again, a bounded number of times.
  void reload(int reloading);
  // Makes this the program in use; no GL call when it already is.
  void bind();
  // No program in use; no GL call when none is.
  static void unbind_shaders();
  // The location of the uniform at index in the constructor's list (-1 for one the program
  // does not use); an index outside the list throws std::out_of_range.
  GLint get_uniform_loc(int index) const;
  static void reload_all_shaders(int reloading);

  GLhandleARB program;
  GLhandleARB vertex_shader;    // 0 before the first build
  GLhandleARB fragment_shader;  // 0 before the first build
  std::string vertex_path;
  std::string fragment_path;
  std::string prefix;
  std::vector<std::string> uniform_names;
  std::vector<GLint> uniform_locations;

  static std::set<OGL_shader*> shaders;
  static OGL_shader* current_shader;

 private:
  void init(const std::string& vertex_file, const std::string& fragment_file, const std::string& prefix_text);
  // Compiles one stage into handle and attaches it; false when the file could not be read.
  bool build_stage(GLenum kind, const std::string& path, const std::string& defines, GLhandleARB& handle,
                   bool& failed);
};

class OGL_shader_conditional {
 public:
  // flag_names and uniforms are null-terminated (null: none); flag_counts holds one count per
  // flag (null: 2 each). A count below 1 is a programming error: it alerts and counts as 1.
  // Nothing is compiled here.
  OGL_shader_conditional(const char* vertex_file, const char* fragment_file, const char* const* uniforms,
                         const char* const* flag_names, const int* flag_counts, const char* prefix);
  ~OGL_shader_conditional();
  OGL_shader_conditional(const OGL_shader_conditional&) = delete;
  OGL_shader_conditional& operator=(const OGL_shader_conditional&) = delete;

  // The combination id of one value per flag; the first flag is the lowest digit.
  int id_from_flags(const int* values) const;
  // The inverse: one value per flag into values; returns the number of flags.
  int flags_from_id(int id, int* values) const;
  // Builds combination id (an id outside the table alerts and builds nothing).
  void build(int id);
  // Builds combination id when it is not built yet and makes it the program in use.
  void bind(int id);
  // A uniform location of a built combination; throws std::out_of_range for an id or index
  // outside the tables or a combination not built.
  GLint get_uniform_loc(int id, int index) const;
  int combination_count() const { return static_cast<int>(combinations.size()); }

  std::string prefix;
  std::string vertex_file;
  std::string fragment_file;
  std::vector<std::string> uniform_names;
  std::vector<std::string> flag_names;
  std::vector<int> flag_counts;
  std::vector<OGL_shader*> combinations;  // null until built; owned

 private:
  bool valid_id(int id) const { return id >= 0 && id < combination_count(); }
};

// The targets of the two ARB program types: 0 fragment, 1 vertex.
extern const GLenum shader_types[2];

class OGL_shader_prog {
 public:
  // type 0 fragment program, 1 vertex program. Loads the file at once.
  OGL_shader_prog(int type, const std::string& file_name);
  ~OGL_shader_prog();
  OGL_shader_prog(const OGL_shader_prog&) = delete;
  OGL_shader_prog& operator=(const OGL_shader_prog&) = delete;

  // Loads the program text. A text GL rejects at a position alerts with the position and GL's
  // message, and is read again from the file after the alert, a bounded number of times; one
  // rejected without a position is logged and left. Never changes the program in use.
  void reload(int unused);
  void bind();
  static void unbind_shaders();
  static void reload_all_shaders(int unused);

  GLuint program;
  int type;
  std::string path;

  static std::set<OGL_shader_prog*> shaders;
  static OGL_shader_prog* current_shader[2];
};
