// The frame's wait for events. Stands in for the one-tick event wait of the original's Event
// Manager, which let frames keep coming while the user did nothing. On Linux the wait also
// wakes when a descriptor that someone marked for this frame is ready: while a download runs,
// frames then come as fast as its data does, instead of letting the kernel's receive buffers
// fill up during an idle tick and the server stall. It never takes an event from SDL's queue;
// the caller drains the queue after it. Main thread only, like the rest of the frame loop (SDL
// pumps its events on the thread that set up video).
#pragma once

// Marks a descriptor for the next wait only: ready for reading (for_writing false) or for
// writing. Every wait forgets the marks when it returns, so whoever keeps polling a descriptor
// marks it again each frame, and a transfer nobody polls any more cannot make frames spin.
void platform_watch_descriptor(int fd, bool for_writing);

// Ends the next wait at once, or the wait under way if it watches the wakes (below). Safe on any
// thread: background work calls it when it has finished something the frame should act on
// (the last batch of a scan, an unpacked file), the frame itself when the next frame should come
// without a wait (a new page). Wakes that come before a wait add up to one.
void platform_wake_wait();

// Marks the wakes for the next wait only, like a descriptor: whoever has background work under
// way marks them each frame, so its wake ends a wait already under way.
void platform_watch_wakes();

// Lets the next wait last up to ms even when its caller asks for less, for background work that
// wakes the wait when it is done: the frames in between only redraw its progress, and on a
// software renderer each of them takes processor time from the work. Forgotten after that wait.
void platform_stretch_next_wait(int ms);

// Waits up to timeout_ms milliseconds until an SDL event is pending (when SDL's event subsystem
// is up) or a marked descriptor is ready, including an error or hang-up on it. True when one
// of them woke the wait, false when the time-out passed. The pending event stays in the queue.
bool platform_wait_for_events(int timeout_ms);
