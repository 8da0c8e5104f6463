/* The two functions every Orvane driver module exports with C linkage. The
 * library loads a module with dlopen on its first controller request and
 * calls only these. */
#ifndef ORVANE_KSBAPI_H
#define ORVANE_KSBAPI_H
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The packed request block: command, responder address, bus type (0), network
 * function, logical unit, a native pointer to the request data and its length. */
#pragma pack(push, 1)
typedef struct KsbRequestBlock {
    uint8_t command;
    uint8_t responderAddress;
    uint8_t busType;
    uint8_t netFn;
    uint8_t lun;
    const uint8_t* data;
    uint32_t dataLength;
} KsbRequestBlock;
#pragma pack(pop)

/* Driver results (0 = an answer arrived). */
#define KSB_RESULT_OK 0x00000000u
#define KSB_RESULT_NO_DRIVER 0xE0000001u   /* no driver module could be loaded */
#define KSB_RESULT_NO_FUNCTION 0xE0000002u /* the module lacks a driver function */
#define KSB_RESULT_TIMEOUT 0xE0000003u     /* no answer within the timeout */
#define KSB_RESULT_TRANSPORT 0xE0000004u   /* transport failure */
#define KSB_RESULT_MALFORMED 0xE0000005u   /* more than 64 data bytes, null pointers */

/* Sends a request and waits up to timeoutMs for its answer. responseLength is
 * the capacity of response on entry (64) and the bytes returned on exit. */
typedef uint32_t (*KsbSendTimedRequestFn)(const KsbRequestBlock* request, uint32_t timeoutMs,
                                          uint8_t* response, uint32_t* responseLength,
                                          uint8_t* completionCode);
/* Takes one message from the controller's receive queue (answers to bridged
 * requests), waiting up to timeoutMs. length is the capacity on entry and the
 * bytes received on exit. */
typedef uint32_t (*KsbReceiveMessageFn)(uint8_t* message, uint32_t* length, uint32_t timeoutMs,
                                        uint32_t* flags, uint32_t reserved);

#ifdef __cplusplus
}
#endif
#endif
