// The time the engine measures download rates and the install step's start with: the frame
// clock's elapsed seconds, the same clock the HTTP client's idle rule runs on.
#pragma once

float install_clock_seconds();
