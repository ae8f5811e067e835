/* The JPEG decoder compiled into the program: stb_image, from the system's libstb-dev, with every
   format but JPEG left out. The logo is decoded with it rather than with the system's picture
   codecs, whose loading took a good part of the time to the first paint. */
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
/* The failure reason is never read; kept out, it needs no thread-local storage. */
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
