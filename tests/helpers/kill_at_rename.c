// Preloaded into a program under test: its Nth call of rename() (N from KILL_AT_RENAME) kills
// the program with SIGKILL before the rename is done, as a power cut or a kill at that moment
// would stop it.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int rename(const char* from, const char* to) {
  static long calls = 0;
  static int (*real)(const char*, const char*) = NULL;
  if (real == NULL) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  const char* at = getenv("KILL_AT_RENAME");
  if (at != NULL && ++calls == atol(at)) kill(getpid(), SIGKILL);
  return real(from, to);
}
