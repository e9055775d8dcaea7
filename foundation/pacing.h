#pragma once

#include <functional>

// The scale of every fixed duration of the server: the one-second tick of the time-out counters,
// the pauses of the paging engine and of call processing, the protocol's pauses. Whatever waits
// holds a Pacing it was given; the program gives none and runs at standard(), tests pass one of
// their own whose scale makes a 60-second modem wait take milliseconds. A Pacing must outlive
// whatever was given it.
class Pacing final
{
public:
    explicit Pacing(double scale = 1.0);

    // Durations as they are. It never changes.
    static const Pacing& standard();

    // A factor of 0 or below is taken as 1.
    void setScale(double factor);
    double scale() const { return m_scale; }

    // The nominal duration in milliseconds at this scale (at least 1 for a positive one).
    int scaled(int nominalMs) const;

    // A blocking pause of the scaled duration: nothing else runs meanwhile.
    void sleep(int nominalMs) const;

    // A pause of at least the scaled duration during which the event loop keeps running, so other
    // connections and the window stay served.
    void pauseResponsive(int nominalMs) const;

    // The same pause, cut short as soon as `stop` holds (checked after every event). True when it
    // was cut short.
    bool pauseResponsiveUntil(int nominalMs, const std::function<bool()>& stop) const;

private:
    double m_scale = 1.0;
};
