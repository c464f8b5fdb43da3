// The program's lifecycle: the one phase the form is in, what each phase allows, and
// which phase may follow which. Every handler of the form asks it before acting, and
// the backend asks the form's phase whether to show the window after start-up and
// whether the unload has run. A new phase is a row in each table below.
//
// Rotation rests (Paused) while nobody can see the pointer: the session is locked or
// disconnected, the display is off, the system suspends. Those reasons overlap; the
// lifecycle keeps each, so the form rests while any holds and wakes only once none does.
//
// A message box runs its own message loop, so any handler may run while another waits
// on one: the phase is what tells it whether it may act, and a handler whose box let
// the close request through finds the phase left behind when the box returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace tarn {

enum class Phase {
    Created,     // the form exists and Form_Load has not run; the backend loads it before
                 // any message can reach it, so only a handler driven alone sees this
    StartingUp,  // Form_Load runs; it adds the tray icon first
    Ready,       // start-up is done: idle or rotating, as the OK label's tag says
    Paused,      // as Ready, but nobody can see the pointer: no tick until the user is back
    Acting,      // an action (or a tick's word about the watcher) is at a step that may
                 // show a message box
    Closing,     // the close request ran: the timers stopped, the tray icon went; the
                 // unload follows
    Closed,      // the unload ran (the user's pointers are back), or the program ended
};

// What a phase allows.
struct PhaseRules {
    Phase phase;
    bool userActs;  // a user's action acts: tray, OK, Exit, X, double-click, options, slider,
                    // banner, keys, the automatic start. Refused, it does nothing.
    bool ticks;     // Timer1's tick runs, with the watcher's restart before it
    bool trayIcon;  // the tray icon is shown: a restarted task bar gets it again
    bool leaving;   // the close request ran: a handler back from a box goes no further
};

// One row a phase, in the order of the enumeration.
inline constexpr PhaseRules kPhaseRules[] = {
    //                  userActs ticks  trayIcon leaving
    {Phase::Created,    true,    true,  false,   false},  // nothing under way an action could upset
    {Phase::StartingUp, false,   true,  true,    false},
    {Phase::Ready,      true,    true,  true,    false},
    {Phase::Paused,     true,    false, true,    false},  // an action still acts; its first tick waits
    {Phase::Acting,     false,   true,  true,    false},
    {Phase::Closing,    false,   false, false,   true},
    {Phase::Closed,     false,   false, false,   true},
};
static_assert(
    [] {
        for (std::size_t i = 0; i < std::size(kPhaseRules); ++i)
            if (static_cast<std::size_t>(kPhaseRules[i].phase) != i) return false;
        return std::size(kPhaseRules) == static_cast<std::size_t>(Phase::Closed) + 1;
    }(),
    "one row for every phase, in the order of the enumeration");

struct PhaseMove {
    Phase from, to;
};

// Every move there is; any other leaves the phase as it is. A close request is honoured
// in every phase before it, the unload follows it, and the program ends without an
// unload only before anything of the user's was replaced.
inline constexpr PhaseMove kPhaseMoves[] = {
    {Phase::Created, Phase::StartingUp},  // Form_Load
    {Phase::StartingUp, Phase::Ready},    // start-up's work done (or cut short by a failure) ...
    {Phase::StartingUp, Phase::Paused},   // ... while nobody can see the pointer
    {Phase::Ready, Phase::Paused},        // the user goes away ...
    {Phase::Paused, Phase::Ready},        // ... and is back
    {Phase::Created, Phase::Acting},      // an action reaches a step with a box ...
    {Phase::Ready, Phase::Acting},
    {Phase::Paused, Phase::Acting},
    {Phase::Acting, Phase::Created},      // ... and goes back where it was once the step is done,
    {Phase::Acting, Phase::Ready},        // resting as the user's presence says by then
    {Phase::Acting, Phase::Paused},
    {Phase::Created, Phase::Closing},     // the close request
    {Phase::StartingUp, Phase::Closing},
    {Phase::Ready, Phase::Closing},
    {Phase::Paused, Phase::Closing},
    {Phase::Acting, Phase::Closing},
    {Phase::Closing, Phase::Closed},      // the unload
    {Phase::Created, Phase::Closed},      // End: a second instance
    {Phase::StartingUp, Phase::Closed},   // End: the list of sets could not be built
};

// Why nobody can see the pointer; several may hold at once.
enum class Away : std::uint8_t {
    Locked = 1,        // the session is locked (the secure desktop shows)
    Disconnected = 2,  // the session is disconnected from its console or remote client
    DisplayOff = 4,    // the console display is off
    Suspended = 8,     // the system suspends
};

class Lifecycle {
public:
    [[nodiscard]] Phase phase() const { return phase_; }
    [[nodiscard]] const PhaseRules& rules() const { return kPhaseRules[static_cast<std::size_t>(phase_)]; }
    [[nodiscard]] bool userMayAct() const { return rules().userActs; }
    [[nodiscard]] bool leaving() const { return rules().leaving; }

    // Moves to `next` if the table has that move; false (and nothing changes) otherwise,
    // so each move happens once: the close request, the unload.
    bool moveTo(Phase next) {
        for (const PhaseMove& m : kPhaseMoves) {
            if (m.from != phase_ || m.to != next) continue;
            phase_ = next;
            return true;
        }
        return false;
    }

    // A reason why nobody can see the pointer begins (`holds`) or ends. True when that
    // changes whether any reason holds: the first begins, or the last ends. A phase that
    // rests (Ready, Paused) follows at once; any other rests as they say once it is over.
    bool setAway(Away reason, bool holds) {
        const bool was = away();
        const auto bit = static_cast<std::uint8_t>(reason);
        away_ = static_cast<std::uint8_t>(holds ? away_ | bit : away_ & ~bit);
        if (was == away()) return false;
        moveTo(resting(phase_));
        return true;
    }
    [[nodiscard]] bool away() const { return away_ != 0; }

    // A stretch of work in a phase of its own: `during` while the scope lives, then
    // `after` (by default back where it was, Ready or Paused as the user's presence says
    // by then), as far as the table allows. A close request
    // under one of its boxes moves the phase on, and the way back is then no move at all;
    // where the table has no move into `during` (an action under start-up or another
    // action), the phase stays as it is.
    class Span {
    public:
        Span(Lifecycle& life, Phase during) : Span(life, during, life.phase()) {}
        Span(Lifecycle& life, Phase during, Phase after) : life_(life), after_(after), moved_(life.moveTo(during)) {}
        ~Span() {
            if (moved_) life_.moveTo(life_.resting(after_));
        }
        Span(const Span&) = delete;
        Span& operator=(const Span&) = delete;

    private:
        Lifecycle& life_;
        Phase after_;
        bool moved_;
    };

private:
    // Where a resting phase goes as the reasons say; any other phase stays itself.
    [[nodiscard]] Phase resting(Phase p) const {
        if (p != Phase::Ready && p != Phase::Paused) return p;
        return away() ? Phase::Paused : Phase::Ready;
    }

    Phase phase_ = Phase::Created;
    std::uint8_t away_ = 0;  // the Away reasons that hold, as bits
};

}  // namespace tarn
