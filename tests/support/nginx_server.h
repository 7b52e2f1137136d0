// The test web server: nginx on a free 127.0.0.1 port with a generated configuration, serving
// the update host and two mirrors by name from their own root folders. Clients reach it through
// the HTTP client's proxy setting (127.0.0.1 and the port), so requests carry absolute targets
// and nginx picks the server by the target's host. Every server also answers "/status/500"
// with an error page.
//
// CTest starts one instance for all tests of the "nginx" fixture (see sky_test ... FIXTURES
// nginx) in <build>/nginx-fixture. A test program run by hand starts a private instance on first
// use and stops it at exit.
#pragma once

#include <string>
#include <vector>

// The server names; each has a root folder that tests fill.
extern const std::vector<std::string> nginx_hosts;  // "update.test", "mirror-a.test", "mirror-b.test"

// Starts nginx with its configuration, logs, pid and roots under folder. Returns the port, or 0
// with *problem set. With kb_per_second above 0 every connection is served at that rate, as a
// modest internet connection would be.
unsigned short nginx_start(const std::string& folder, std::string* problem, int kb_per_second = 0);
// Stops the instance of folder (by the pid it recorded) and waits until it is gone.
void nginx_stop(const std::string& folder);

// For tests: the running instance's port (starting a private one if need be; 0 on failure).
unsigned short nginx_port();
// The root folder of a host ("/.../roots/mirror-a.test/"). Tests write below a subfolder named
// for themselves, since other test programs share the server.
std::string nginx_root(const std::string& host);
