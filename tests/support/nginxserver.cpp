#include "tests/support/nginxserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

extern char** environ;

namespace melorin::testing {

int freeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

namespace {
bool accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}
}  // namespace

NginxServer::NginxServer(const std::string& dir, const std::string& slowRate) : dir_(dir) {
    ::mkdir((dir + "/www").c_str(), 0755);
    ::mkdir((dir + "/www/slow").c_str(), 0755);
    ::mkdir((dir + "/tmp").c_str(), 0755);
    port_ = freeLoopbackPort();
    {
        std::ofstream conf(dir + "/nginx.conf");
        conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
             << "pid " << dir << "/nginx.pid;\nerror_log " << dir << "/error.log;\n"
             << "events { worker_connections 512; }\n"
             << "http {\n  access_log off;\n  sendfile on;\n"
             << "  client_body_temp_path " << dir << "/tmp;\n  proxy_temp_path " << dir << "/tmp;\n"
             << "  fastcgi_temp_path " << dir << "/tmp;\n  uwsgi_temp_path " << dir << "/tmp;\n"
             << "  scgi_temp_path " << dir << "/tmp;\n"
             << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << dir << "/www;\n"
             << "    location /slow/ { limit_rate " << slowRate << "; }\n  }\n}\n";
    }
    std::string conf = dir + "/nginx.conf";
    const char* argv[] = {"/usr/sbin/nginx", "-p", dir.c_str(), "-c", conf.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return;
    pid_ = pid;
    for (int i = 0; i < 100 && !accepts(port_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!accepts(port_)) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

NginxServer::~NginxServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

}  // namespace melorin::testing
