# The contributed Grafana and Prometheus files. (The exposition text is tested
# in view_test, the program scraped by a real Prometheus in app_test.)
set(HOPWATCH_CONTRIB ${CMAKE_SOURCE_DIR}/contrib)
add_test(NAME metrics_dashboard_json
  COMMAND ${CMAKE_COMMAND} -DFILE=${HOPWATCH_CONTRIB}/grafana/hopwatch.json -P ${HOPWATCH_TEST_SUPPORT}/check_json.cmake)
find_program(HOPWATCH_PROMTOOL promtool)
if(HOPWATCH_PROMTOOL)
  add_test(NAME metrics_prometheus_config
    COMMAND ${HOPWATCH_PROMTOOL} check config ${HOPWATCH_CONTRIB}/prometheus/prometheus.yml)
  add_test(NAME metrics_prometheus_rules
    COMMAND ${HOPWATCH_PROMTOOL} check rules ${HOPWATCH_CONTRIB}/prometheus/hopwatch-alerts.yml)
endif()
