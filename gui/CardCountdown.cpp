#include "CardCountdown.h"

CardCountdown::Step CardCountdown::tick()
{
    if (m_counter == 3) {
        m_counter = 2;
        return Step::ShowTwo;
    }
    if (m_counter == 2) {
        m_counter = 1;
        return Step::ShowOne;
    }
    m_counter = 3;
    return Step::Close;
}
