// The update check's surroundings for tests against the nginx fixture's update host and two
// mirrors: the installer's state cleared, the HTTP client sent through nginx as its proxy, the
// server list fetched from a folder of the test's own on the update host (emptied, as are the
// test's folders on both mirrors), a scratch folder for temporary files, and failed fetches
// tried again without waiting. TearDown stops the checksum workers and every transfer and puts
// the update settings back. The test program links the wizard and requires FIXTURES nginx.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/download_scheduler.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "runtime/constants.h"
#include "runtime/shell_services.h"
#include "support/nginx_server.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "wizard/server_list.h"

class update_check_test : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_info.clear();
    std::memset(&stg, 0, sizeof stg);
    reset_installer_state();
    stg.download_os = 3;
    reset_server_list();
    install_name = no_install_name;
    app_done = 0;
    shell_double::reset();
    shell_double::reopen_log();
    port = nginx_port();
    ASSERT_NE(port, 0);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = port;
    name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    update_host_setting = nginx_hosts[0];
    server_list_remote_path = "/" + name + "/serverlist9.txt";
    remove_tree(nginx_root(nginx_hosts[0]) + name + "/");
    make_folders(nginx_root(nginx_hosts[0]) + name + "/");
    for (int m = 0; m < 2; ++m) remove_tree(nginx_root(nginx_hosts[1 + m]) + name + "/");
    temp_path = work.path() + "tmp/";
    make_folders(temp_path);
    fetch_retry_delay_scale = 0;
  }
  void TearDown() override {
    checksum_directory_kill();
    for (int s = 0; s < http_slot_count; ++s) http.cancel(s);
    fetch_retry_delay_scale = 1;
    update_host_setting.clear();
    server_list_remote_path = "/serverlist9.txt";
    app_done = 0;
  }

  temp_tree work;
  unsigned short port = 0;
  std::string name;  // the test's name, which names its folders on the hosts
};
