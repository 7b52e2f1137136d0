#include "support/widgets_fixture.h"

#include "platform/text.h"
#include "runtime/shell_records.h"
#include "shell/keyboard.h"
#include "shell/widgets.h"
#include "support/interface_atlas.h"
#include "support/shell_double.h"

void gl_widgets_test::SetUpTestSuite() {
  gl_graphics_test::SetUpTestSuite();
  ASSERT_TRUE(start_widgets_on_display(SKY_RESOURCES_DIR));
}

void gl_widgets_test::SetUp() {
  gl_graphics_test::SetUp();
  mnw.mouse_down = mnw.mouse_up = mnw.mouse_held = mnw.mouse_double = 0;
  mnw.wheel = 0;
  mnw.cursor_request = 0;
  mnw.open_menu = -1;
  show_centred_screen(2, 600, 380);
  focus_id = 0;
  BTN_begin_focus_ring();
  shell_double::reset();
}

void gl_widgets_test::show_centred_screen(int id, int width, int height) {
  mnw.topwi = id;
  mnw.screen_w = static_cast<float>(width);
  mnw.screen_h = static_cast<float>(height);
  mnw.origin_x = static_cast<float>((1024 - width) / 2);
  mnw.origin_y = static_cast<float>((768 - height) / 2);
}

void gl_widgets_test::press_key(int scancode, char32_t typed, int modifiers) {
  platform_key_event e;
  e.kind = key_event_down;
  e.scancode = scancode;
  e.modifiers = modifiers;
  e.typed = e.unshifted = e.shifted = typed;
  keys.handle_key_raw(e);
  e.kind = key_event_up;
  keys.handle_key_raw(e);
}
