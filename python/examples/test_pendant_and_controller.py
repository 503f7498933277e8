"""A test that presses a pendant key as a hand would and plays the controller that answers it,
with the tarvisk_pendant fixture: the key reaches the controller, and the LED it lights shows."""

OK = 14  # TP_KEY_OK's bit in the key-state bitmap the pendant sends


def test_ok_reaches_the_controller_and_its_led_shows(tarvisk_pendant):
    controller = tarvisk_pendant.controller
    tarvisk_pendant.press("OK")
    controller.key_state(lambda bits: controller.held(bits, OK))
    controller.send(257, [1, 1])  # the controller lights LED 1
    tarvisk_pendant.wait_for_led(1, 1)
    tarvisk_pendant.release("OK")
    controller.key_state(lambda bits: not controller.held(bits, OK))
