// Commands run one after another, as a script would, without a shell: for a
// test that needs several in one place (one demo run, say).
//   vantrel-test-steps EXIT COMMAND [ARG...] [";" COMMAND [ARG...]]...
// Each command's output passes through, followed by "== exit N" (its status,
// or 127 when it could not be started); the program then ends with EXIT.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int RunStep(std::vector<char*> argv) {
    std::fflush(stdout);
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return 127;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vantrel-test-steps EXIT COMMAND [ARG...] [\";\" COMMAND [ARG...]]...\n");
        return 2;
    }
    std::vector<char*> step;
    for (int i = 2; i <= argc; ++i) {
        if (i < argc && std::strcmp(argv[i], ";") != 0) {
            step.push_back(argv[i]);
            continue;
        }
        if (step.empty()) continue;
        std::printf("== exit %d\n", RunStep(step));
        step.clear();
    }
    std::fflush(stdout);
    return std::atoi(argv[1]);
}
