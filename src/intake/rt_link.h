// The TCP link with RealTraffic, which connects to this program as to a server: the version
// query, the user aircraft's position, the simulator time and the exit line. Worker thread only
// (the window reads g_rtConnected).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win32.h"

// What "Qs121=" reports of the user aircraft.
struct RtUserState {
  double pitch = 0.0;        // radians
  double bank = 0.0;         // radians
  double trueHeading = 0.0;  // radians
  double altitudeFt = 0.0;
  double groundSpeedKt = 0.0;
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
};

// What the link needs of later parts of the program. Set by the worker before a run.
struct RtLinkHooks {
  std::function<RtUserState()> userState;    // the worker's copy of the user aircraft
  std::function<void()> removeLiveAircraft;  // RealTraffic is gone: take the live aircraft out
};
void gf_setRtLinkHooks(RtLinkHooks hooks);

extern SOCKET g_rtListenSocket;  // the listening socket; INVALID_SOCKET when closed (worker)
extern SOCKET g_rtClientSocket;  // the accepted connection; INVALID_SOCKET when none (worker)
// A client is connected. Written by the worker; read by the window.
extern std::atomic<bool> g_rtConnected;
// No connection yet in this run. Set by the run reset; read by the command handler.
extern std::atomic<bool> g_rtNotConnectedYet;

inline constexpr std::size_t kRtReceiveBufferSize = 16384;

// Opens the listening socket on the port (a text, PORT_NUMBER); throws std::runtime_error
// naming the failing step.
void startServer(const std::string& port);
// Accepts one connection. Waits in slices of at most 100 ms and gives up when a stop or exit
// is requested. True when a new client is now connected.
bool waitForClient();
// One receive of at most 16384 bytes; empty on an error, a closed link or a full buffer.
std::string receiveDataPacket();
// Sends the whole text; false after a failure, which also closes the client socket.
bool sendDataPacket(const std::string& text);

// The link is used when RealTraffic was found on this PC and the AEROWINX setting is off.
bool gf_realTrafficLinkWanted();
// Run start: waits for RealTraffic, asks its version and reads the reply.
void lf_waitForRealTraffic();
// Collects the version reply on the client socket until a whole JSON value has arrived, the
// link closes or two seconds pass (a stream may deliver the object in pieces). Empty when the
// reply fills the receive buffer. Called by lf_waitForRealTraffic; public for the fuzz target.
std::string lf_receiveVersionReply();
// Reads RealTraffic's version reply: edition and the window's version text.
void lf_readRealTrafficVersion(const std::string& reply);
// Sends "Qs121=" and handles the loss and the return of the connection. Called from the tick:
// while RealTraffic is away it takes a connection that is already waiting and never waits for one.
void gf_sendUserPosition();
// Sends "Qs123=" with the simulator time (seconds since 1970) when connected and t > 0.
void lf_sendSimTime(std::int64_t seconds);
// The "Qs121=" line for a user state.
std::string gf_userPositionLine(const RtUserState& user);
// The link's close step: "exit" when connected, both sockets closed, WSACleanup.
void gf_closeRealTrafficLink();
