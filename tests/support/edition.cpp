// The tests play as soloplay unless a test switches the traits to netplay's.
#include "app/edition.h"

EditionTraits Edition;
