// Typed camera commands: their formatting and the ranges a model gives their values.
#include "camera/tables/command_vocabulary.h"
