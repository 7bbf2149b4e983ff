#pragma once

// The three-second countdown of a result card: "3s" when shown, then "2s", "1s", closed.
// The tick counter is not reset when a card is shown during a running count, so such a card
// closes when the running count ends.
class CardCountdown final
{
public:
    enum class Step { ShowTwo, ShowOne, Close };

    // One tick of the one-second timer.
    Step tick();
    int counter() const { return m_counter; }

private:
    int m_counter = 3;
};
