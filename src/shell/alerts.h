// The shell's side of the one alert call (__MACIBM_alert, declared in runtime/shell_services.h
// and installed as its hook at start-up): an ordinary alert with one button, a fatal alert that
// ends the program, or the language chooser. Off the main thread it posts an error report
// instead; before the window exists, or while another alert is showing, it uses the native
// alert box.
#pragma once

#include <string>

void shell_alert(int screen, std::string l1, std::string l2, std::string l3, std::string l4,
                 int type, const char* file, int line);

// 1 once the OpenGL window is up; until then alerts use the native box.
extern int ogl_inited;

// The text appended to the log by ordinary and fatal alerts, and the memory report's reason.
extern const char* const alert_mem_stats_reason;

// The two- or three-button question on screen 995: its message is text slot 610, the text and
// slot 611; its buttons are labelled by slots 607, 608 and 609. Returns the button's number
// (1, 2 or 3), or 3 when the screen was left some other way.
int MACIBM_nuke_alert(const std::string& text, int three_buttons);
