// The checks that feed the diagnosis besides the pings: whether a name
// server answers, whether a proxy takes connections, and one real web
// request. Each runs on the calling thread with a bounded time; TProbeThread
// runs one on a worker and posts when it is done.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/Thread.h"

// Asks server (a dotted IPv4 address) for the address of name, over UDP
// port 53. True when any answer to that question came back within
// timeoutMs, whatever it said (a "no such name" is an answer too); ms is
// then its time.
bool NameServerAnswers(const std::string& server, const std::string& name, int timeoutMs, int& ms);

// Whether a TCP connection to the proxy of the user's setting ("host:port",
// or "http=host:port;https=..." of which the http one, else the first,
// counts) is taken within timeoutMs.
bool ProxyTakesConnections(const std::string& setting, int timeoutMs);

// One web request as a browser makes it: WinInet, the user's own proxy
// settings, redirects followed.
struct TWebProbe {
  int status = 0;        // of the final answer; 0 when none came
  std::string finalUrl;  // after redirects
  int timeMs = -1;
  bool timedOut = false;
  bool connectFailed = false;
  std::string error;  // why no answer came; empty when one came
};
TWebProbe ProbeWebPage(const std::string& url, int timeoutMs);

// One echo to a dotted IPv4 address: status is IP_SUCCESS with its time in
// ms, or the error answer's status (IP_REQ_TIMED_OUT, IP_DEST_HOST_UNREACHABLE,
// ...), or the system's error when no echo could be sent.
struct TEchoProbe {
  DWORD status = 0;
  int ms = -1;
};
TEchoProbe EchoOnce(const std::string& address, int timeoutMs);

// The host part of a web address: "http://a.b:8080/x" gives "a.b".
std::string UrlHost(const std::string& url);

// Runs job on a thread of its own, then posts message to the window with
// token as WParam. Frees itself; throws when no thread can be started.
class TProbeThread : public Thread {
 public:
  // Runs job on a worker of its own, which posts message (with token) to
  // notifyWindow when done and then frees itself. Throws when no worker
  // could be started; nothing is left behind then.
  static void Run(HWND notifyWindow, UINT message, WPARAM token, std::function<void()> job);
  // Probes started and not yet done: nothing they use may go before they do.
  static int Running();

 protected:
  ~TProbeThread() override = default;
  TProbeThread(HWND notifyWindow, UINT message, WPARAM token, std::function<void()> job);
  void Execute() override;

 private:
  HWND NotifyWindow;
  UINT Message;
  WPARAM Token;
  std::function<void()> Job;
};
