// The graphics capability record: what the driver can do, decided once at start-up from the GL
// version, the extension string, a few driver workarounds and the command line, and read
// everywhere a GL feature is used. Also the render record `ren` with the driver's strings and
// limits, and the look-up of GL entry points by name (through SDL on this platform, where the
// look-up answers even for functions the driver lacks: availability comes only from the
// version and extension strings).
//
// The detection reads the driver through a gl_driver_facts source; the program's source is the
// live context, tests inject their own.
#pragma once

// The entry points are held as pointers of glext.h's PFN...PROC types; the prototypes stay
// undeclared so that the member names do not meet the functions of the same name.
#include <GL/gl.h>
#include <GL/glext.h>

// The entry-point groups, each in the order the detection looks its names up.
// buffer objects
#define SKY_GL_BUFFER_OBJECTS(X) \
  X(PFNGLBINDBUFFERARBPROC, glBindBufferARB) \
  X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB) \
  X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB) \
  X(PFNGLISBUFFERARBPROC, glIsBufferARB) \
  X(PFNGLBUFFERDATAARBPROC, glBufferDataARB) \
  X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB) \
  X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB) \
  X(PFNGLMAPBUFFERARBPROC, glMapBufferARB) \
  X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB) \
  X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB) \
  X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)

// low-level programs
#define SKY_GL_LOW_LEVEL_PROGRAMS(X) \
  X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB) \
  X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB) \
  X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB) \
  X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB) \
  X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB) \
  X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB) \
  X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB) \
  X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB) \
  X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB) \
  X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB) \
  X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB) \
  X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB) \
  X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB) \
  X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB) \
  X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB) \
  X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB) \
  X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB) \
  X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB) \
  X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB) \
  X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB) \
  X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB) \
  X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB) \
  X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB) \
  X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB) \
  X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB) \
  X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB) \
  X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB) \
  X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB) \
  X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB) \
  X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB) \
  X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB) \
  X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB) \
  X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB) \
  X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB) \
  X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB) \
  X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB) \
  X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB) \
  X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB) \
  X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB) \
  X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB) \
  X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB) \
  X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB) \
  X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB) \
  X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB) \
  X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB) \
  X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB) \
  X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB) \
  X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB) \
  X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB) \
  X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB) \
  X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB) \
  X(PFNGLGETPROGRAMENVPARAMETERDVARBPROC, glGetProgramEnvParameterdvARB) \
  X(PFNGLGETPROGRAMENVPARAMETERFVARBPROC, glGetProgramEnvParameterfvARB) \
  X(PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC, glGetProgramLocalParameterdvARB) \
  X(PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC, glGetProgramLocalParameterfvARB) \
  X(PFNGLGETPROGRAMIVARBPROC, glGetProgramivARB) \
  X(PFNGLGETPROGRAMSTRINGARBPROC, glGetProgramStringARB) \
  X(PFNGLGETVERTEXATTRIBDVARBPROC, glGetVertexAttribdvARB) \
  X(PFNGLGETVERTEXATTRIBFVARBPROC, glGetVertexAttribfvARB) \
  X(PFNGLGETVERTEXATTRIBIVARBPROC, glGetVertexAttribivARB) \
  X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, glGetVertexAttribPointervARB) \
  X(PFNGLISPROGRAMARBPROC, glIsProgramARB)

// occlusion queries
#define SKY_GL_OCCLUSION_QUERIES(X) \
  X(PFNGLGENQUERIESARBPROC, glGenQueriesARB) \
  X(PFNGLDELETEQUERIESARBPROC, glDeleteQueriesARB) \
  X(PFNGLISQUERYARBPROC, glIsQueryARB) \
  X(PFNGLBEGINQUERYARBPROC, glBeginQueryARB) \
  X(PFNGLENDQUERYARBPROC, glEndQueryARB) \
  X(PFNGLGETQUERYIVARBPROC, glGetQueryivARB) \
  X(PFNGLGETQUERYOBJECTIVARBPROC, glGetQueryObjectivARB) \
  X(PFNGLGETQUERYOBJECTUIVARBPROC, glGetQueryObjectuivARB)

// shader objects
#define SKY_GL_SHADER_OBJECTS(X) \
  X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB) \
  X(PFNGLGETHANDLEARBPROC, glGetHandleARB) \
  X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB) \
  X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB) \
  X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB) \
  X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB) \
  X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB) \
  X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB) \
  X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB) \
  X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB) \
  X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB) \
  X(PFNGLUNIFORM1FARBPROC, glUniform1fARB) \
  X(PFNGLUNIFORM2FARBPROC, glUniform2fARB) \
  X(PFNGLUNIFORM3FARBPROC, glUniform3fARB) \
  X(PFNGLUNIFORM4FARBPROC, glUniform4fARB) \
  X(PFNGLUNIFORM1IARBPROC, glUniform1iARB) \
  X(PFNGLUNIFORM2IARBPROC, glUniform2iARB) \
  X(PFNGLUNIFORM3IARBPROC, glUniform3iARB) \
  X(PFNGLUNIFORM4IARBPROC, glUniform4iARB) \
  X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB) \
  X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB) \
  X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB) \
  X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB) \
  X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB) \
  X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB) \
  X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB) \
  X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB) \
  X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB) \
  X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB) \
  X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB) \
  X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB) \
  X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB) \
  X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB) \
  X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB) \
  X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB) \
  X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB) \
  X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB) \
  X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB) \
  X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)

// vertex shader
#define SKY_GL_VERTEX_SHADER(X) \
  X(PFNGLBINDATTRIBLOCATIONARBPROC, glBindAttribLocationARB) \
  X(PFNGLGETACTIVEATTRIBARBPROC, glGetActiveAttribARB) \
  X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)

// geometry shader
#define SKY_GL_GEOMETRY_SHADER(X) \
  X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)

// frame-buffer objects
#define SKY_GL_FRAME_BUFFER_OBJECTS(X) \
  X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT) \
  X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT) \
  X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT) \
  X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT) \
  X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT) \
  X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT) \
  X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT) \
  X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT) \
  X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT) \
  X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT) \
  X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT) \
  X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT) \
  X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT) \
  X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT) \
  X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT) \
  X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT) \
  X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)

// texture compression
#define SKY_GL_TEXTURE_COMPRESSION(X) \
  X(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, glCompressedTexImage3DARB) \
  X(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, glCompressedTexImage2DARB) \
  X(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, glCompressedTexImage1DARB) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, glCompressedTexSubImage3DARB) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, glCompressedTexSubImage2DARB) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, glCompressedTexSubImage1DARB) \
  X(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, glGetCompressedTexImageARB)

// separate blending
#define SKY_GL_SEPARATE_BLENDING(X) \
  X(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT) \
  X(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT)


class OGL_extensions {
 public:
  // Every entry point null, every flag and limit 0, threaded_avail 1.
  OGL_extensions();

  // 0 when the OpenGL library answers for glGetString; otherwise a fatal alert naming the
  // library, and -37.
  static int init_entry_points();
  // The detection on the live context (main thread, context current).
  void init_extensions();
  // Called when a worker's shared context cannot be made: clears threaded_avail and alerts,
  // once.
  void threaded_ogl_failed();

#define SKY_GL_MEMBER(type, name) type name;
  SKY_GL_BUFFER_OBJECTS(SKY_GL_MEMBER)
  SKY_GL_LOW_LEVEL_PROGRAMS(SKY_GL_MEMBER)
  SKY_GL_OCCLUSION_QUERIES(SKY_GL_MEMBER)
  SKY_GL_SHADER_OBJECTS(SKY_GL_MEMBER)
  SKY_GL_VERTEX_SHADER(SKY_GL_MEMBER)
  SKY_GL_GEOMETRY_SHADER(SKY_GL_MEMBER)
  SKY_GL_FRAME_BUFFER_OBJECTS(SKY_GL_MEMBER)
  SKY_GL_TEXTURE_COMPRESSION(SKY_GL_MEMBER)
  SKY_GL_SEPARATE_BLENDING(SKY_GL_MEMBER)
#undef SKY_GL_MEMBER

  int multitex_avail;
  int tex_clamp_avail;
  int add_env_avail;
  int combine_avail;
  int dis_fog_avail;
  int tex_comp_avail;
  int vbo_avail;
  int pbo_avail;
  int vprog_avail;
  int fprog_avail;
  int automini_avail;
  int aniso_avail;
  int fsaa_avail;
  int sprites_avail;
  int depth_tex_avail;
  int occlude_avail;
  int shad_objs_avail;
  int vshader_avail;
  int fshader_avail;
  int gshader_avail;
  int glsl_avail;
  int first_gen_shaders;
  int framebuf_avail;
  int sblend_avail;

  int threaded_avail;  // worker threads may have GL contexts of their own; always 0 after detection
  int max_tex_size;    // GL_MAX_TEXTURE_SIZE, or lower when a test wants the halving path
};

extern OGL_extensions glExt;

// The render record: the driver's strings and limits from the detection, and the two settings
// every drawing reads.
struct render_settings {
  float max_aniso;      // largest anisotropy; 1.0 when anisotropic filtering is off
  int tex_units;        // fixed-function texture units, at least 1
  int tex_image_units;  // texture image units of fragment programs
  int tex_coord_units;  // texture coordinate sets of vertex programs
  // The driver's own strings, valid while the context lives; never null after detection
  // (a string the driver did not give reads "").
  const char* gl_vendor;
  const char* gl_renderer;
  const char* gl_version;
  const char* gl_extensions;
  int monochrome;      // colours become green-only
  float global_alpha;  // multiplied into the alpha of every drawing; 1.0 at start
};

extern render_settings ren;

// An entry point of the OpenGL library by name, or null.
void* aglGetProcAddress(const char* name);

// What the detection reads of the driver and the system.
class gl_driver_facts {
 public:
  virtual ~gl_driver_facts() = default;
  // glGetString; may be null.
  virtual const char* string(GLenum name) = 0;
  // glGetIntegerv and glGetFloatv (out holds room for two values).
  virtual void integers(GLenum name, GLint* out) = 0;
  virtual void floats(GLenum name, GLfloat* out) = 0;
  // glGetProgramivARB.
  virtual void program_integer(GLenum target, GLenum name, GLint* out) = 0;
  // An entry point by name, or null.
  virtual void* lookup(const char* name) = 0;
  // The OS version as BCD (10.4.8 is 0x1048); false when it cannot be known.
  virtual bool os_version(int* bcd) = 0;
  // A command-line option.
  virtual bool has_option(const char* name) = 0;
};

// The detection over a facts source, filling the record and ren.
void detect_capabilities(OGL_extensions& ext, render_settings& settings, gl_driver_facts& facts);

// The version code of a GL_VERSION string: 100 x major + 10 x minor (2.1 is 210); 100 when the
// string starts with no version the detection knows.
int gl_version_code(const char* version);
// Whether the space-separated extension list holds the name as a whole entry.
bool gl_has_extension(const char* extensions, const char* name);
