// Gives the fakes' Q_OBJECT classes a translation unit for moc.
#include "fakes/FakeRunningApplications.h"
