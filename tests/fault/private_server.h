// A database server of the test's own: PostgreSQL or MariaDB started from the system's
// binaries on a fresh data folder, a free loopback port and a socket in that folder, so that
// tests may stop, kill and restart it without touching the shared servers of
// scripts/start-dbs. The server runs as the engine's system user, so the test must run as
// root; Unavailable() says why it cannot run otherwise, and the test skips with that reason.
//
// The server is a child of the test process that dies with it (PR_SET_PDEATHSIG), and the
// destructor stops it and removes its folder.
#ifndef KV_TESTS_FAULT_PRIVATE_SERVER_H
#define KV_TESTS_FAULT_PRIVATE_SERVER_H

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace kvtest {

enum class ServerKind { kPostgreSQL, kMariaDB };

class PrivateServer {
  public:
    explicit PrivateServer(ServerKind kind) : kind_(kind) {}
    ~PrivateServer() {
        Stop(Halt::kKill);
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    // Why no server of this kind can run here (the test then skips), or empty.
    std::string Unavailable() {
        if (geteuid() != 0) return "needs root to run a server as its system user";
        const char *user = kind_ == ServerKind::kPostgreSQL ? "postgres" : "mysql";
        const passwd *pw = getpwnam(user);
        if (pw == nullptr) return std::string("no system user ") + user;
        uid_ = pw->pw_uid;
        gid_ = pw->pw_gid;
        if (kind_ == ServerKind::kPostgreSQL) {
            bin_ = PostgresBin();
            if (bin_.empty()) return "no PostgreSQL server binaries under /usr/lib/postgresql";
        } else if (access("/usr/sbin/mariadbd", X_OK) != 0 ||
                   access("/usr/bin/mariadb-install-db", X_OK) != 0) {
            return "no MariaDB server binaries (mariadbd, mariadb-install-db)";
        }
        return "";
    }

    // Makes the data folder and starts the server with database "kvfault" and user "kv"
    // (password "kv"); call after an empty Unavailable(). Empty on success, else what failed.
    std::string Start() {
        const char *user = kind_ == ServerKind::kPostgreSQL ? "postgres" : "mysql";
        static std::atomic<int> counter{0};
        dir_ = "/tmp/kvfault-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        std::filesystem::create_directories(dir_);
        if (chown(dir_.c_str(), uid_, gid_) != 0) return "cannot hand " + dir_ + " to " + user;
        const std::string init = kind_ == ServerKind::kPostgreSQL ? InitPostgres() : InitMariaDB();
        if (!init.empty()) return init;
        // Another test process may take the port between the check and the start: then the
        // next free one is tried.
        bool running = false;
        for (int attempt = 0; attempt < 3 && !running; ++attempt) {
            port_ = FreePort((kind_ == ServerKind::kPostgreSQL ? 55432 : 53306) + attempt * 500);
            if (port_ == 0) return "no free loopback port";
            running = Resume();
        }
        if (!running) return "the server did not start: " + ReadLog();
        const std::string setup = kind_ == ServerKind::kPostgreSQL
                                      ? "create database kvfault"
                                      : "create database kvfault; "
                                        "create user 'kv'@'localhost' identified by 'kv'; "
                                        "create user 'kv'@'127.0.0.1' identified by 'kv'; "
                                        "grant all on *.* to 'kv'@'localhost'; "
                                        "grant all on *.* to 'kv'@'127.0.0.1';";
        std::string out;
        if (!Admin(setup, &out, kind_ == ServerKind::kPostgreSQL ? "postgres" : "")) {
            return "cannot create the test database: " + out;
        }
        return "";
    }

    enum class Halt {
        kGraceful,  // a clean shutdown: sessions are ended, nothing half-done stays
        kKill,      // as a crash: no goodbye to the clients
    };
    // Stops the server and waits until it is gone.
    void Stop(Halt how) {
        if (pid_ <= 0) return;
        int signal = SIGKILL;
        if (kind_ == ServerKind::kPostgreSQL) {
            // SIGINT: fast shutdown; SIGQUIT: immediate, like a crash but without leaving
            // orphaned backends that would keep the next start from getting its memory.
            signal = how == Halt::kGraceful ? SIGINT : SIGQUIT;
        } else if (how == Halt::kGraceful) {
            signal = SIGTERM;
        }
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    // Starts the server again on the same folder and port; true once it accepts clients.
    bool Resume() {
        if (pid_ > 0) return true;
        std::vector<std::string> argv;
        if (kind_ == ServerKind::kPostgreSQL) {
            argv = {bin_ + "/postgres",           "-D", dir_ + "/data", "-p",
                    std::to_string(port_),        "-k", dir_,           "-c",
                    "listen_addresses=127.0.0.1", "-c", "fsync=off",    "-c",
                    "logging_collector=off"};
        } else {
            argv = {"/usr/sbin/mariadbd",
                    "--no-defaults",
                    "--datadir=" + dir_ + "/data",
                    "--socket=" + dir_ + "/sock",
                    "--port=" + std::to_string(port_),
                    "--bind-address=127.0.0.1",
                    "--pid-file=" + dir_ + "/pid",
                    "--innodb-buffer-pool-size=16M",
                    "--innodb-flush-log-at-trx-commit=2",
                    "--skip-log-bin"};
        }
        // Right after a stop the old server's last processes may still hold the port or its
        // shared memory for a moment, and the new one gives up at once: try again shortly.
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
            pid_ = Spawn(argv, dir_ + "/server.log");
            if (pid_ <= 0) return false;
            if (WaitUntilReady()) return true;
        }
        return false;
    }

    // The ODBC connection string of the test database.
    std::string connection() const {
        const std::string port = std::to_string(port_);
        if (kind_ == ServerKind::kPostgreSQL) {
            return "Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=" + port +
                   ";Database=kvfault;Uid=postgres;Pwd=kv;BoolsAsChar=0";
        }
        return "Driver=MariaDB Unicode;Server=127.0.0.1;Port=" + port +
               ";Database=kvfault;Uid=kv;Pwd=kv;Option=2";
    }
    const char *dialect() const { return kind_ == ServerKind::kPostgreSQL ? "PGSQL" : "MYSQL"; }
    ServerKind kind() const { return kind_; }

    // Runs SQL as the administrator on the test database through the engine's client; out
    // gets the rows (one a line, values separated by tabs) or the error.
    bool Admin(const std::string &sql, std::string *out = nullptr,
               const std::string &database = "kvfault") const {
        CommandResult result;
        if (kind_ == ServerKind::kPostgreSQL) {
            result = RunCommand({bin_ + "/psql", "-X", "-q", "-A", "-t", "-F", "\t", "-v",
                                 "ON_ERROR_STOP=1", "-h", dir_, "-p", std::to_string(port_), "-U",
                                 "postgres", "-d", database, "-c", sql});
        } else {
            std::vector<std::string> argv = {
                "/usr/bin/mariadb", "--no-defaults", "-S", dir_ + "/sock", "-uroot", "-N", "-B"};
            if (!database.empty()) argv.push_back(database);
            argv.insert(argv.end(), {"-e", sql});
            result = RunCommand(argv);
        }
        if (out != nullptr) *out = result.exitCode == 0 ? result.out : result.err;
        return result.exitCode == 0;
    }
    // The first value the query returns, or "" when it fails.
    std::string Value(const std::string &sql) const {
        std::string out;
        if (!Admin(sql, &out)) return "";
        return out.substr(0, out.find_first_of("\t\n"));
    }

    // What the server wrote to its log (for a failure message).
    std::string ReadLog() const {
        const std::string path = dir_ + "/server.log";
        return FileExists(path) ? ReadFile(path) : "(no log)";
    }

  private:
    // Waits until the spawned server accepts clients; false (and no server) if it exits first
    // or is not ready within 30 seconds.
    bool WaitUntilReady() {
        for (int i = 0; i < 600; ++i) {
            if (Ready()) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return false;
    }

    static std::string PostgresBin() {
        std::string best;
        std::error_code ec;
        for (const auto &entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
            const std::string bin = entry.path().string() + "/bin";
            if (access((bin + "/postgres").c_str(), X_OK) == 0 &&
                access((bin + "/initdb").c_str(), X_OK) == 0 && bin > best) {
                best = bin;
            }
        }
        return best;
    }

    // A port near base that nothing listens on now (each test process gets its own range).
    static int FreePort(int base) {
        for (int i = 0; i < 400; ++i) {
            const int port = base + int((getpid() * 7 + i * 13) % 2000);
            int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0) return 0;
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(uint16_t(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool free = bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            close(fd);
            if (free) return port;
        }
        return 0;
    }

    std::string InitPostgres() {
        CommandResult result =
            // From "/": the test's working folder is private to root.
            RunCommand({"/usr/bin/env", "--chdir=/", "/usr/sbin/runuser", "-u", "postgres", "--",
                        bin_ + "/initdb", "-D", dir_ + "/data", "-A", "trust", "-U", "postgres",
                        "--no-sync", "-E", "UTF8"});
        return result.exitCode == 0 ? "" : "initdb failed: " + result.out + result.err;
    }

    std::string InitMariaDB() {
        CommandResult result =
            RunCommand({"/usr/bin/mariadb-install-db", "--no-defaults", "--user=mysql",
                        "--datadir=" + dir_ + "/data", "--auth-root-authentication-method=normal",
                        "--skip-test-db", "--skip-name-resolve"});
        return result.exitCode == 0 ? "" : "mariadb-install-db failed: " + result.out + result.err;
    }

    // The server runs as its system user and is killed when the test process dies. Everything
    // the child needs is made before the fork: it only calls what is safe in a forked copy of
    // a threaded process.
    pid_t Spawn(const std::vector<std::string> &argv, const std::string &log) const {
        std::vector<char *> args;
        for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid != 0) {
            if (out >= 0) close(out);
            return pid;
        }
        setsid();
        if (chdir("/") != 0) _exit(124);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0) _exit(126);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(125);
        execv(args[0], args.data());
        _exit(127);
    }

    bool Ready() const {
        if (kind_ == ServerKind::kPostgreSQL) {
            return RunCommand(
                       {bin_ + "/pg_isready", "-q", "-h", "127.0.0.1", "-p", std::to_string(port_)})
                       .exitCode == 0;
        }
        return RunCommand({"/usr/bin/mariadb-admin", "--no-defaults", "-S", dir_ + "/sock",
                           "-uroot", "ping"})
                   .exitCode == 0;
    }

    ServerKind kind_;
    std::string dir_;
    std::string bin_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace kvtest

#endif  // KV_TESTS_FAULT_PRIVATE_SERVER_H
