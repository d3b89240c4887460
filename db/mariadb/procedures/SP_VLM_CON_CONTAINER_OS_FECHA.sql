-- params: Num_Container
-- The container of the register with this number, whatever the case it was
-- typed in. An unknown number answers no row.
CREATE PROCEDURE SP_VLM_CON_CONTAINER_OS_FECHA(IN p_Num_Container TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)
  READS SQL DATA
BEGIN
  SELECT c.CONTAINER_ID          AS container_id,
         c.TAB_TIPO_CONTAINER_ID AS TAB_TIPO_CONTAINER_ID
    FROM CONTAINER c
   WHERE c.NUM_CONTAINER = UPPER_ASCII(TRIM(p_Num_Container)) COLLATE utf8mb4_general_ci;
END
