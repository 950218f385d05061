/* Stand-in MATLAB's version source, compiled into large-array MEX files
 * (by FindMatlab from MATLAB 9.1 on, and by the stand-in mex): it reports
 * the release of this installation and the array-interface level the file
 * was compiled for. Like the header of some real releases, it does not mark
 * the function visible: the export map has to name it, and a build that
 * hides symbols by default loses it. */
#include "standin_release.h" /* LASSOWAVE_STANDIN_RELEASE_CODE */

#ifdef MX_COMPAT_32
#define LASSOWAVE_STANDIN_API_LEVEL 0x07000000u
#else
#define LASSOWAVE_STANDIN_API_LEVEL 0x07300000u
#endif

void mexfilerequiredapiversion(unsigned int *built_by_release, unsigned int *target_api_version);

void mexfilerequiredapiversion(unsigned int *built_by_release, unsigned int *target_api_version) {
  *built_by_release = LASSOWAVE_STANDIN_RELEASE_CODE;
  *target_api_version = LASSOWAVE_STANDIN_API_LEVEL;
}
