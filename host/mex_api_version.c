/* The interface-level entry point a MATLAB host looks for beside
 * mexFunction: large-array builds name the release and the array-interface
 * level they were built for, 32-bit builds report the classic marker.
 * Octave 11 and later refuse a MEX file without __octave_mex_soversion__,
 * the version of the MEX interface it was built for; CMake passes the value
 * that the target Octave's mkoctfile writes (cmake/OctaveMexSoversion.cmake).
 * Builds linked by mkoctfile --mex get mkoctfile's own definition instead. */
#if defined(_WIN32)
#define LASSOWAVE_EXPORT __declspec(dllexport)
#else
#define LASSOWAVE_EXPORT __attribute__((visibility("default")))
#endif

#if defined(MX_COMPAT_32)
LASSOWAVE_EXPORT const char *mexVersion(void) { return "MATLAB R14 native"; }
#else
LASSOWAVE_EXPORT void mexfilerequiredapiversion(unsigned int *built_by_release,
                                                unsigned int *target_api_version) {
  *built_by_release = 131482u;
  *target_api_version = 0x07300000u;
}
#endif

#if defined(LASSOWAVE_OCTAVE_MEX_SOVERSION)
LASSOWAVE_EXPORT const int __octave_mex_soversion__ = LASSOWAVE_OCTAVE_MEX_SOVERSION;
#endif
