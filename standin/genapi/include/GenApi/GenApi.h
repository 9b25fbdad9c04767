// The node-map layer, GenApi style, over Aravis's GenICam engine. It offers:
//  - GenICam::GenericException and its kinds (GenICam/GCException.h): every error throws one;
//  - GenApi enums (EAccessMode NI..RW, EVisibility, EInterfaceType, ERepresentation) and the
//    node interfaces INode, IValue, IInteger, IFloat, IBoolean, IString, ICommand (Execute,
//    IsDone), IRegister, ICategory, IEnumeration, IEnumEntry, IPort, with CPointer smart
//    pointers (CIntegerPtr, ...) and IsReadable/IsWritable/IsAvailable (GenApi/Nodes.h);
//  - CNodeMapRef: load XML (a second load is refused), connect a port, find and list nodes,
//    InvalidateNodes, Poll; Register/Deregister node callbacks (GenApi/NodeMapRef.h);
//  - MemoryPort: registers in memory, emulating self-clearing registers and the camera's side
//    of the file protocol (GenApi/MemoryPort.h);
//  - CEventPort: event data into the node map (GenApi/EventPort.h);
//  - GenICam::FileProtocolAdapter: open, read, write, close, delete camera files
//    (GenICam/FileProtocolAdapter.h).
// Nothing here includes Qt or GLib; link the CMake target standin_genapi.
#pragma once

#include "GenApi/EventPort.h"
#include "GenApi/MemoryPort.h"
#include "GenApi/NodeMapRef.h"
#include "GenApi/Nodes.h"
#include "GenApi/Types.h"
#include "GenICam/FileProtocolAdapter.h"
#include "GenICam/GCException.h"
