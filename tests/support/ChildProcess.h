#pragma once
// Child processes of the gateway tests and benchmark (Apertium's service, talvero-gateway): each
// in a process group of its own, since Apertium's service with -j forks workers, and stopped as
// a group.
#include <sys/types.h>

#include <string>
#include <vector>

namespace talvero {

// Standard output is discarded, standard error goes to `logFile`. -1 when it cannot start.
pid_t SpawnGroup(std::vector<std::string> args, const std::string& logFile);
void StopGroup(pid_t pid);

// The port a starting service writes into `file`; 0 when none comes within `timeoutMs`.
int WaitForPortFile(const std::string& file, int timeoutMs = 15000);

// Apertium's service (the starter in `sourceDir`/gateway) on a free loopback port with every
// installed pair, writing its port into `portFile`.
std::vector<std::string> ApertiumServiceCommand(const std::string& sourceDir,
                                                const std::string& portFile,
                                                const std::vector<std::string>& options = {});

}  // namespace talvero
