; blink628a.asm - LED blinker for the PIC16F628A.
;
; An LED with a series resistor on RB0 blinks at about 1 Hz with the
; internal 4 MHz oscillator. The blink delay is read from the data EEPROM
; (address 0) at start-up, so changing that byte changes the rate without
; touching the program.
;
; Build: gpasm -p p16f628a blink628a.asm   (gives blink628a.hex)

        include <p16f628a.inc>
        errorlevel -302         ; the bank selects below are deliberate

        ; Internal oscillator, no clock out, watchdog off, power-up timer on,
        ; MCLR as reset, brown-out on, low-voltage programming off, no protection.
        __CONFIG _INTOSC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_ON & _LVP_OFF & _CPD_OFF & _CP_OFF

        ; User IDs: version 1.0.0.1
        __IDLOCS h'1001'

        cblock  0x20
            delay_count         ; outer loop count, from the EEPROM
            outer
            middle
            inner
        endc

        org     0x0000
reset_vector:
        goto    start

        org     0x0004
interrupt_vector:
        retfie                  ; no interrupts are enabled

start:
        movlw   0x07
        movwf   CMCON           ; comparators off, PORTA digital
        banksel TRISB
        bcf     TRISB, 0        ; RB0 output
        clrf    EEADR           ; EEPROM address 0: the blink delay
        bsf     EECON1, RD
        movf    EEDATA, W
        banksel PORTB
        movwf   delay_count
        movf    delay_count, F
        btfsc   STATUS, Z
        incf    delay_count, F  ; a blank count of 0 would mean 256

blink:
        movlw   0x01
        xorwf   PORTB, F        ; toggle RB0
        call    delay
        goto    blink

; Waits delay_count * about 100 ms.
delay:
        movf    delay_count, W
        movwf   outer
delay_outer:
        movlw   d'130'
        movwf   middle
delay_middle:
        movlw   d'255'
        movwf   inner
delay_inner:
        decfsz  inner, F
        goto    delay_inner
        decfsz  middle, F
        goto    delay_middle
        decfsz  outer, F
        goto    delay_outer
        return

        ; Data EEPROM: blink delay (in 100 ms steps), then a short tag.
        org     0x2100
        de      d'5'
        de      "BLINK", 0

        end
