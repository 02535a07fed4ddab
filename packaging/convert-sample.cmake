# Turns the flat ODP sample into .pptx with LibreOffice, for the build:
#   cmake -DSOFFICE=... -DSOURCE=x.fodp -DOUTPUT=x.pptx -P convert-sample.cmake
# soffice exits with 0 even when it converted nothing (a source it cannot read, a profile it cannot
# make), so success is judged by the file it leaves. A profile of its own, made fresh and removed
# afterwards, keeps it from handing the job to a LibreOffice already running for this user, and
# from touching that user's settings.
foreach(var SOFFICE SOURCE OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "convert-sample.cmake: ${var} is not set")
    endif()
endforeach()

get_filename_component(outDir "${OUTPUT}" DIRECTORY)
get_filename_component(stem "${SOURCE}" NAME_WE)
string(RANDOM LENGTH 12 token)
set(work "/tmp/quenvar-convert-${token}")
file(MAKE_DIRECTORY "${work}/out")
file(REMOVE "${OUTPUT}")

execute_process(
    COMMAND timeout 300 "${SOFFICE}" --headless --norestore
            "-env:UserInstallation=file://${work}/profile"
            --convert-to pptx --outdir "${work}/out" "${SOURCE}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)

set(produced "${work}/out/${stem}.pptx")
if(EXISTS "${produced}")
    file(SIZE "${produced}" size)
else()
    set(size 0)
endif()
if(NOT result EQUAL 0 OR size EQUAL 0)
    file(REMOVE_RECURSE "${work}")
    message(FATAL_ERROR "LibreOffice did not convert ${SOURCE} to pptx (exit ${result}):\n${output}")
endif()
file(MAKE_DIRECTORY "${outDir}")
file(COPY_FILE "${produced}" "${OUTPUT}")
file(REMOVE_RECURSE "${work}")
