// The CTest fixture's start and stop steps for the shared nginx instance:
//   sky_nginx_fixture start|stop FOLDER
#include <cstdio>
#include <cstring>
#include <string>

#include "support/nginx_server.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s start|stop FOLDER\n", argv[0]);
    return 2;
  }
  if (strcmp(argv[1], "stop") == 0) {
    nginx_stop(argv[2]);
    return 0;
  }
  nginx_stop(argv[2]);  // a leftover from an interrupted run
  std::string problem;
  unsigned short port = nginx_start(argv[2], &problem);
  if (!port) {
    fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  printf("nginx on 127.0.0.1:%u\n", port);
  return 0;
}
