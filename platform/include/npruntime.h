// NPAPI scripting (npruntime): identifiers, variants, script objects and their class.
// Integer sizes are those of the 32-bit Windows ABI; pointers are native.
#pragma once

#include <cstdint>

typedef char NPUTF8;

// UTF-8 text, not necessarily terminated.
typedef struct _NPString
{
    const NPUTF8* UTF8Characters;
    uint32_t UTF8Length;
} NPString;

typedef enum
{
    NPVariantType_Void,
    NPVariantType_Null,
    NPVariantType_Bool,
    NPVariantType_Int32,
    NPVariantType_Double,
    NPVariantType_String,
    NPVariantType_Object
} NPVariantType;

typedef struct NPObject NPObject;
typedef struct NPClass NPClass;

typedef struct _NPVariant
{
    NPVariantType type;
    union
    {
        bool boolValue;
        int32_t intValue;
        double doubleValue;
        NPString stringValue;
        NPObject* objectValue;
    } value;
} NPVariant;

// An interned name (string) or index (int); opaque to the plug-in.
typedef void* NPIdentifier;

// Forward declaration of the instance handle, so this header stands alone.
struct _NPP;

typedef NPObject* (*NPAllocateFunctionPtr)(struct _NPP* npp, NPClass* aClass);
typedef void (*NPDeallocateFunctionPtr)(NPObject* npobj);
typedef void (*NPInvalidateFunctionPtr)(NPObject* npobj);
typedef bool (*NPHasMethodFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPInvokeFunctionPtr)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                    uint32_t argCount, NPVariant* result);
typedef bool (*NPInvokeDefaultFunctionPtr)(NPObject* npobj, const NPVariant* args,
                                           uint32_t argCount, NPVariant* result);
typedef bool (*NPHasPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPGetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name, NPVariant* result);
typedef bool (*NPSetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name,
                                         const NPVariant* value);
typedef bool (*NPRemovePropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPEnumerationFunctionPtr)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
typedef bool (*NPConstructFunctionPtr)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                       NPVariant* result);

#define NP_CLASS_STRUCT_VERSION 3
#define NP_CLASS_STRUCT_VERSION_ENUM 2
#define NP_CLASS_STRUCT_VERSION_CTOR 3

#define NP_CLASS_STRUCT_VERSION_HAS_ENUM(npclass) \
    ((npclass)->structVersion >= NP_CLASS_STRUCT_VERSION_ENUM)
#define NP_CLASS_STRUCT_VERSION_HAS_CTOR(npclass) \
    ((npclass)->structVersion >= NP_CLASS_STRUCT_VERSION_CTOR)

struct NPClass
{
    uint32_t structVersion;
    NPAllocateFunctionPtr allocate;
    NPDeallocateFunctionPtr deallocate;
    NPInvalidateFunctionPtr invalidate;
    NPHasMethodFunctionPtr hasMethod;
    NPInvokeFunctionPtr invoke;
    NPInvokeDefaultFunctionPtr invokeDefault;
    NPHasPropertyFunctionPtr hasProperty;
    NPGetPropertyFunctionPtr getProperty;
    NPSetPropertyFunctionPtr setProperty;
    NPRemovePropertyFunctionPtr removeProperty;
    NPEnumerationFunctionPtr enumerate;
    NPConstructFunctionPtr construct;
};

// The browser-visible head of every script object; the class adds its data after it.
struct NPObject
{
    NPClass* _class;
    uint32_t referenceCount;
};

// Variant tests, reads and writes.
#define NPVARIANT_IS_VOID(_v) ((_v).type == NPVariantType_Void)
#define NPVARIANT_IS_NULL(_v) ((_v).type == NPVariantType_Null)
#define NPVARIANT_IS_BOOLEAN(_v) ((_v).type == NPVariantType_Bool)
#define NPVARIANT_IS_INT32(_v) ((_v).type == NPVariantType_Int32)
#define NPVARIANT_IS_DOUBLE(_v) ((_v).type == NPVariantType_Double)
#define NPVARIANT_IS_STRING(_v) ((_v).type == NPVariantType_String)
#define NPVARIANT_IS_OBJECT(_v) ((_v).type == NPVariantType_Object)

#define NPVARIANT_TO_BOOLEAN(_v) ((_v).value.boolValue)
#define NPVARIANT_TO_INT32(_v) ((_v).value.intValue)
#define NPVARIANT_TO_DOUBLE(_v) ((_v).value.doubleValue)
#define NPVARIANT_TO_STRING(_v) ((_v).value.stringValue)
#define NPVARIANT_TO_OBJECT(_v) ((_v).value.objectValue)

#define VOID_TO_NPVARIANT(_v) \
    do { (_v).type = NPVariantType_Void; (_v).value.objectValue = nullptr; } while (0)
#define NULL_TO_NPVARIANT(_v) \
    do { (_v).type = NPVariantType_Null; (_v).value.objectValue = nullptr; } while (0)
#define BOOLEAN_TO_NPVARIANT(_val, _v) \
    do { (_v).type = NPVariantType_Bool; (_v).value.boolValue = !!(_val); } while (0)
#define INT32_TO_NPVARIANT(_val, _v) \
    do { (_v).type = NPVariantType_Int32; (_v).value.intValue = (_val); } while (0)
#define DOUBLE_TO_NPVARIANT(_val, _v) \
    do { (_v).type = NPVariantType_Double; (_v).value.doubleValue = (_val); } while (0)
#define STRINGZ_TO_NPVARIANT(_val, _v)                                   \
    do {                                                                 \
        (_v).type = NPVariantType_String;                                \
        (_v).value.stringValue.UTF8Characters = (_val);                  \
        (_v).value.stringValue.UTF8Length = (uint32_t)__builtin_strlen(_val); \
    } while (0)
#define STRINGN_TO_NPVARIANT(_val, _len, _v)                   \
    do {                                                       \
        (_v).type = NPVariantType_String;                      \
        (_v).value.stringValue.UTF8Characters = (_val);        \
        (_v).value.stringValue.UTF8Length = (uint32_t)(_len);  \
    } while (0)
#define OBJECT_TO_NPVARIANT(_val, _v) \
    do { (_v).type = NPVariantType_Object; (_v).value.objectValue = (_val); } while (0)

// The browser's NPN_* functions are reached through NPNetscapeFuncs (npfunctions.h);
// each plug-in writes its own gates over that table.
