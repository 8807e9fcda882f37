#ifndef VELXMLN_EXPORT_H
#define VELXMLN_EXPORT_H

/* VELXMLN_API marks the classes and functions that the shared library exports. Everything else is
   built with hidden visibility. Define VELXMLN_STATIC when linking a static build of the library.
 */
#if defined(VELXMLN_STATIC)
#define VELXMLN_API
#elif defined(_WIN32)
#if defined(VELXMLN_BUILDING)
#define VELXMLN_API __declspec(dllexport)
#else
#define VELXMLN_API __declspec(dllimport)
#endif
#else
#define VELXMLN_API __attribute__((visibility("default")))
#endif

#endif
