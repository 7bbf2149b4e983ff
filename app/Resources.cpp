#include "Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's initialiser; it has to be used outside a namespace.
static void initialiseTallyportResources()
{
    Q_INIT_RESOURCE(tallyport);
}

namespace Resources {

void initialise()
{
    initialiseTallyportResources();
}

} // namespace Resources
